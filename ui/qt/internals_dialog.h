// The Internals dialog ("Tunora Internals"): the ten rating values, the target value, the import
// score, the buffer size, "AR Speed" and "LAME check", with the "Default" and "Alternate" presets
// (which change the settings at once), and the program's internal counters, read-only. Opened
// modal over the Options dialog or the Database dialog ("Advanced"); GUI thread only.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "ui/internals_form.h"

namespace tunora::ui::qt {

class DialogHost;

class InternalsDialog final : public QDialog {
  Q_OBJECT

 public:
  InternalsDialog(DialogHost& host, QWidget* parent);

  InternalsForm form() const;
  void showForm(const InternalsForm& form);
  // The read-only values as the dialog shows them.
  std::array<QString, kInternalsShownLabels.size()> shownTexts() const;

  // "OK" (result 1) and "Cancel" (result 2).
  void accept() override;
  void reject() override;

 private:
  InternalsCounters readCounters() const;

  DialogHost& host_;
  std::array<QLineEdit*, 10> rating_values_{};
  QLineEdit* target_value_ = nullptr;
  QLineEdit* default_import_ = nullptr;
  QLineEdit* buffer_size_ = nullptr;
  QComboBox* ar_speed_ = nullptr;
  QCheckBox* lame_check_ = nullptr;
  std::array<QLabel*, kInternalsShownLabels.size()> shown_{};
};

// Opens the Internals dialog modal over `parent` (deleted when closed) and returns at once.
InternalsDialog* openInternalsDialog(DialogHost& host, QWidget* parent);

}  // namespace tunora::ui::qt

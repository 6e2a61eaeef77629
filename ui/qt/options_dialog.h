// The Options dialog ("Tunora Options"): users, alt modes, file types, the current state's
// filter and the other switches, each control bound to its setting. "OK" stores the form,
// applies "On Top" and sets the song buffering up or down as "Buffer" asks; "Cancel" stores
// nothing. The "State" combo switches the listening state on a thread of its own; the switch
// takes this dialog's four per-state controls into the old state and shows the new state's.
// Modal over the main window; GUI thread only.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <array>
#include <memory>

#include "ui/options_form.h"

namespace tunora::ui::qt {

class DialogHost;
class OptionsStateControls;

class OptionsDialog final : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(DialogHost& host, QWidget* parent);
  ~OptionsDialog() override;

  // The form as the controls show it now, and showing one.
  OptionsForm form() const;
  void showForm(const OptionsForm& form);

  // "OK" (result 1) and "Cancel" (result 2).
  void accept() override;
  void reject() override;

  // The switch showed the new state's per-state values (posted from its thread).
  void showPerState(int32_t owner, const engine::PerStateControls& values);

 private:
  void buildControls();
  void chooseState(int index);
  void resetSettings();
  void perStateChanged();
  void playAllChanged();
  void startBufferFollowUp(BufferFollowUp follow_up);

  DialogHost& host_;
  std::shared_ptr<OptionsStateControls> state_controls_;
  int32_t per_state_owner_ = 0;
  bool filling_ = false;

  std::array<QLineEdit*, settings::kUsers> user_names_{};
  std::array<QLineEdit*, kAltModesShown> alt_names_{};
  std::array<QLineEdit*, kAltModesShown> alt_patterns_{};
  QCheckBox* play_all_ = nullptr;
  std::array<QCheckBox*, kFileTypeOptions.size()> file_types_{};
  std::array<QCheckBox*, kMiscOptions.size()> misc_{};
  QComboBox* naughty_ = nullptr;
  QComboBox* min_rating_ = nullptr;
  QCheckBox* history_ = nullptr;
  QCheckBox* no_art_rep_ = nullptr;
  QLineEdit* prepare_ = nullptr;
  QComboBox* state_ = nullptr;
};

}  // namespace tunora::ui::qt

// The Rate keypad: a small centred dialog without a title bar, "10" ... "0" and "D" in three
// columns and "Cancel" below (ui/rate_keypad.h). exec() returns the report: the button's command
// (1200 + n, 1213 for "D"), or 2 for "Cancel", Escape or a close. Its keys are in the parent
// window's font, 1.4 times as large. GUI thread only.
#pragma once

#include <QDialog>

namespace tunora::ui::qt {

inline constexpr double kKeyFontScale = 1.4;

class RateKeypadDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit RateKeypadDialog(QWidget* parent = nullptr);

  void reject() override;
};

}  // namespace tunora::ui::qt

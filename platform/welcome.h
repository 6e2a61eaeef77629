// The welcome dialog that start-up shows on a first run and after an upgrade that asks for it.
// The window implements it; runs without a window pass one that shows nothing.
#pragma once

namespace tunora::ui {

enum class WelcomeMode { kFirstRun, kUpgrade };

class WelcomeDialog {
 public:
  virtual ~WelcomeDialog() = default;
  // Shows the dialog modally; its "Import music now" choice is for the window code to remember.
  virtual void showWelcome(WelcomeMode mode) = 0;
};

// Shows nothing: for runs without a window.
class NoWelcomeDialog final : public WelcomeDialog {
 public:
  void showWelcome(WelcomeMode) override {}
};

}  // namespace tunora::ui

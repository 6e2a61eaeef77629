// What start-up shows to the user, behind an interface: the window code implements it with
// real dialogs; tests record the calls.
#pragma once

#include <string>

namespace tunora {

enum class WelcomeMode { kFirstRun, kUpgrade };

// One request to the message dialog.
struct MessageRequest {
  std::string message;
  std::string first_button;
  std::string second_button;
};

class StartupUi {
 public:
  virtual ~StartupUi() = default;
  // The welcome dialog; its "Import music now" choice is for the window code to remember.
  virtual void showWelcome(WelcomeMode mode) = 0;
  // Shows the message dialog and returns 1 (first button or time-out) or 2 (second button).
  virtual int showMessage(const MessageRequest& request) = 0;
  // Opens "ReadMe.htm" (its full path) in the user's browser.
  virtual void openReadMe(const std::string& path) = 0;
};

}  // namespace tunora

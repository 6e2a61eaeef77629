// Switching the computer off after an unattended list build: the platform's power-off behind an
// interface (the desktop implements it over logind; tests use the fake, so nothing in a test can
// switch a machine off), and the shutdown dialog that asks first.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "ui/platform/message_dialog.h"

namespace tunora::ui {

inline constexpr char kShutdownMessage[] = "Tunora will shutdown the computer in 30 seconds.";
inline constexpr char kShutdownNow[] = "Don't wait; do it now!";
inline constexpr char kShutdownAbort[] = "Abort shutdown!";
inline constexpr int32_t kShutdownTimeoutSeconds = 30;

class PowerOff {
 public:
  virtual ~PowerOff() = default;
  // Asks the system to switch the computer off. False when it refuses or cannot be asked; the
  // program then goes on running and says nothing.
  virtual bool powerOff() = 0;
};

// Counts the requests and switches nothing off.
class FakePowerOff final : public PowerOff {
 public:
  bool powerOff() override {
    requests.fetch_add(1);
    return answer;
  }
  std::atomic<int32_t> requests{0};
  bool answer = true;
};

// The shutdown thread's body: the shutdown dialog (the smaller message font, 30 seconds; the
// time-out counts as the first button); the first button switches the computer off. Returns
// whether the power-off was asked for.
inline bool runShutdownAfterBuild(MessageDialog& dialog, PowerOff& power) {
  MessageRequest request;
  request.kind = MessageKind::kSmallMessage;
  request.message = kShutdownMessage;
  request.first_button = kShutdownNow;
  request.second_button = kShutdownAbort;
  request.timeout_seconds = kShutdownTimeoutSeconds;
  if (dialog.show(request).button != kFirstButton) return false;
  (void)power.powerOff();
  return true;
}

}  // namespace tunora::ui

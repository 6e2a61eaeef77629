// Switching the computer off after an unattended list build: the 30-second question, whose
// time-out counts as its first button, and the power-off through the desktop's power service.
// Runs on a thread of its own (never the window thread); the window and the player keep working
// during the countdown.
#pragma once

#include "engine/shared_words.h"
#include "platform/message_dialog.h"
#include "settings/settings.h"

namespace tunora::ui {

inline constexpr char kShutdownQuestion[] = "Tunora will shutdown the computer in 30 seconds.";
inline constexpr char kShutdownNow[] = "Don't wait; do it now!";
inline constexpr char kShutdownAbort[] = "Abort shutdown!";
inline constexpr int32_t kShutdownSeconds = 30;

// The machine's power service (logind over D-Bus in the program; a fake in tests).
class PowerControl {
 public:
  virtual ~PowerControl() = default;
  // Whether this user may power the machine off now.
  virtual bool canPowerOff() = 0;
  // Asks for the power-off; false when it was refused.
  virtual bool powerOff() = 0;
};

// Whether a finished build is to switch the computer off: "Shutdown" and "AutoBuild" on and
// nothing playing.
bool shutdownAfterBuildWanted(const Settings& settings, const engine::SharedWords& words);

// Asks (kind 11, 30 s, keep on top) and powers off on the first button or the time-out, when the
// power service allows it. Returns whether the power-off was asked for.
bool runShutdownAfterBuild(MessageDialog& dialog, PowerControl& power);

}  // namespace tunora::ui

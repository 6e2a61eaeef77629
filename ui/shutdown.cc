// Switching the computer off after a build.
#include "ui/shutdown.h"

namespace tunora::ui {

bool shutdownAfterBuildWanted(const Settings& settings, const engine::SharedWords& words) {
  return settings.get(settings::kShutdown) != 0 && settings.get(settings::kAutoBuild) != 0 &&
         words.playing.load() == 0;
}

bool runShutdownAfterBuild(MessageDialog& dialog, PowerControl& power) {
  MessageRequest request;
  request.kind = MessageKind::kSmallMessage;
  request.message = kShutdownQuestion;
  request.first_button = kShutdownNow;
  request.second_button = kShutdownAbort;
  request.timeout_seconds = kShutdownSeconds;
  request.keep_on_top = true;
  if (dialog.show(request).button != kFirstButton) return false;
  if (!power.canPowerOff()) return false;
  return power.powerOff();
}

}  // namespace tunora::ui

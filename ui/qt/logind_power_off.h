// The power service over logind on the system bus: CanPowerOff ("yes" only: "challenge" would
// ask for a password nobody is there to type after an unattended build), then
// PowerOff(interactive = false).
#pragma once

#include "ui/shutdown.h"

namespace tunora::ui::qt {

class LogindPowerOff final : public PowerControl {
 public:
  bool canPowerOff() override;
  bool powerOff() override;
};

}  // namespace tunora::ui::qt

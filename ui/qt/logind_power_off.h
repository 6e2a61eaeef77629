// PowerOff over logind on the system bus: CanPowerOff first (only "yes" goes on; "challenge"
// would ask for a password nobody is there to type after an unattended build), then
// PowerOff(interactive = false).
#pragma once

#include "ui/platform/power_off.h"

namespace tunora::ui::qt {

class LogindPowerOff final : public PowerOff {
 public:
  bool powerOff() override;
};

}  // namespace tunora::ui::qt

// The Rate keypad's answer.
#include "ui/rate_keypad.h"

#include "ui/window_actions.h"

namespace tunora::ui {

std::optional<int32_t> rateKeypadButton(int32_t report) {
  const int32_t button = report - kRateCommandBase;
  if ((button >= 0 && button <= 10) || button == kRateDelete) return button;
  return std::nullopt;
}

}  // namespace tunora::ui

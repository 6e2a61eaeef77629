// The tray icon's tip.
#include "ui/tray.h"

#include <cstdint>

namespace tunora::ui {

std::string trayTip(bool playing, const std::string& title) {
  if (!playing) return kTrayTitle;
  int32_t chars = 0;
  for (size_t i = 0; i < title.size(); ++i) {
    if ((static_cast<uint8_t>(title[i]) & 0xC0) == 0x80) continue;  // inside a character
    if (chars == kTrayTipLimit) return title.substr(0, i);
    ++chars;
  }
  return title;
}

}  // namespace tunora::ui

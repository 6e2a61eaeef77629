// The tray icon's tip: the playing song's title, else the version title, cut to 127 characters
// (never inside a UTF-8 character).
#pragma once

#include <string>

namespace tunora::ui {

inline constexpr int32_t kTrayTipLimit = 127;
inline constexpr char kTrayTitle[] = "Tunora 1.9";

std::string trayTip(bool playing, const std::string& title);

}  // namespace tunora::ui

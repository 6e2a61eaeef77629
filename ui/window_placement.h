// Where the main window goes on screen. The saved placement (its normal rectangle) is used when it
// is a sane one, else the default size; either way the window, with its frame, is never larger
// than the screen's available area (without panels) and lies inside it. A window saved maximized
// is shown maximized (command 2005) on top of that normal placement.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "ui/geometry.h"

namespace tunora::ui {

// The client size of a first start.
inline constexpr int32_t kDefaultWindowWidth = 800;
inline constexpr int32_t kDefaultWindowHeight = 560;
// The smallest client size the window takes.
inline constexpr int32_t kMinimumWindowWidth = 140;
inline constexpr int32_t kMinimumWindowHeight = 80;

// The frame around the client area: title bar and borders, in pixels.
struct FrameMargins {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// The normal client rectangle of the saved placement words (length, flags, show command,
// minimized and maximized positions, then left, top, right, bottom); nullopt when it is not a
// usable size (below the minimum, or above 16384).
std::optional<Rect> savedClientRect(const std::array<int32_t, 11>& placement);

// The client rectangle to place: `wanted` (nullopt: the default size, centred in `available`)
// shrunk until the window with `frame` fits in `available`, then moved inside it. Never below the
// minimum size, unless the area itself is smaller.
Rect fitWindow(const std::optional<Rect>& wanted, const Rect& available, const FrameMargins& frame);

}  // namespace tunora::ui

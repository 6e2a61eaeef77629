// Placing the main window on screen.
#include "ui/window_placement.h"

#include <algorithm>

namespace tunora::ui {

namespace {
constexpr int32_t kLargestSide = 16384;
}  // namespace

std::optional<Rect> savedClientRect(const std::array<int32_t, 11>& placement) {
  const int64_t left = placement[7], top = placement[8], right = placement[9],
                bottom = placement[10];
  const int64_t width = right - left, height = bottom - top;
  if (width < kMinimumWindowWidth || height < kMinimumWindowHeight || width > kLargestSide ||
      height > kLargestSide) {
    return std::nullopt;
  }
  return Rect{placement[7], placement[8], static_cast<int32_t>(width),
              static_cast<int32_t>(height)};
}

Rect fitWindow(const std::optional<Rect>& wanted, const Rect& available,
               const FrameMargins& frame) {
  const int32_t frame_width = frame.left + frame.right;
  const int32_t frame_height = frame.top + frame.bottom;
  Rect r = wanted.value_or(Rect{0, 0, kDefaultWindowWidth, kDefaultWindowHeight});
  const int32_t most_width = std::max(available.width - frame_width, 0);
  const int32_t most_height = std::max(available.height - frame_height, 0);
  r.width = std::min(r.width, most_width);
  r.height = std::min(r.height, most_height);
  r.width = std::max(r.width, std::min(kMinimumWindowWidth, most_width));
  r.height = std::max(r.height, std::min(kMinimumWindowHeight, most_height));
  if (!wanted) {
    r.x = available.x + frame.left + (most_width - r.width) / 2;
    r.y = available.y + frame.top + (most_height - r.height) / 2;
  }
  // Inside the area: the frame's right and bottom edges first, then its left and top.
  r.x = std::min(r.x, available.right() - frame.right - r.width);
  r.y = std::min(r.y, available.bottom() - frame.bottom - r.height);
  r.x = std::max(r.x, available.x + frame.left);
  r.y = std::max(r.y, available.y + frame.top);
  return r;
}

}  // namespace tunora::ui

// Plain geometry and colour values of the window's logic: rectangles in client pixels (x, y of
// the top-left corner, width, height) and 8-bit RGB colours. No toolkit types.
#pragma once

#include <cstdint>

namespace tunora::ui {

struct Rect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t right() const { return x + width; }
  int32_t bottom() const { return y + height; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Color {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color kWhite{255, 255, 255};
inline constexpr Color kBlack{0, 0, 0};
// The lower-left list's background.
inline constexpr Color kLightBlue{200, 200, 255};

}  // namespace tunora::ui

// The main window's layout for a client area of W x H pixels: the play list, the position
// slider, the video area and the status bar's parts.
//
//   list: top T = H/2 + 36 when H > 250, else H (out of sight); (0, T), W wide, T - 94 high
//         (never below 0), so that for H > 250 its bottom lies 22 pixels above the client bottom.
//   slider: (0, H/2 + 14), or (0, 60) when H/2 is below 60; W/2 wide when W > 400, else W; 20 high.
//   video: W/2 x H/2 at (W/2, 30) when W > 400, else 400 x 400.
//   status parts' right edges: W/4, W/2, 3W/4, W when W > 400; else W/2, W.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/shared_words.h"
#include "ui/geometry.h"

namespace tunora::ui {

// The display's top: the toolbar lies above it.
inline constexpr int32_t kDisplayTop = 30;

struct Layout {
  Rect list;
  Rect slider;
  Rect video;
  std::vector<int32_t> status_part_edges;  // right edge of each part, 2 or 4 of them
  bool list_visible = false;               // false when pushed off the bottom
};

Layout computeLayout(int32_t width, int32_t height);

// After a layout while playing: asks the player to move its video (player request 6) when no
// player request is pending. Returns whether it asked.
bool requestVideoMove(engine::SharedWords& words);

}  // namespace tunora::ui

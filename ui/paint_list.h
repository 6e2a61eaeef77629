// The painted display as plain data: what is drawn where, in which font size and colour. The
// window draws the operations in order and nothing else. Fonts are the sans family the window
// chose for "Arial" (weight normal), sized in pixels; text positions are the top-left corner of
// the text cell, and a text op's width is the room it has: the window shortens a text that is
// wider than that with "…" (keeping its start or its end, as the op says).
//
// For a client area of W x H, with h(px) the font's line height (its ascent plus descent):
//   white (0, 30)-(R, H/2), R = W/2 - 10 when W > 400, else W;
//   H <= 60: the title alone in H/3 px at (3, 30), in full.
//   title 25 px at (3, 30), keep start, W/21 characters (W/10 when W <= 400);
//   stars at y1 = max(56, 30 + h(25)); artist at y2 = max(80, y1 + 16), album at
//     y3 = max(100, y2 + h(20)), path at y4 = max(123, y3 + h(20)), comment at
//     y5 = max(145, y4 + h(18)): so no line reaches into the next;
//   H > 175: path 18 px at (3, y4), keep end, W/18 (only when H > 250); artist 20 px at (3, y2),
//     keep start, W/8; album (H > 210) at (3, y3), W/8; comment (H > 290) at (3, y5), W/19;
//   the left texts have the room from x = 3 to R - 2;
//   H > 120: n stars 16 x 16 at (5 + 20k, y1), n = the highest k whose RatingValue[k] the score
//     reaches (thresholds compared from the tenth down);
//   lower-left (list loaded, LowerLeftView set, H > 400): light blue (4, 175)-(W/2, H/2), the
//     list at (10, 180) down to H/2 - 16 on light blue, inside the box;
//   upper-right (W > 400, H > 200): white (W/2, 30)-(W, H/2 + 30); a Cover or Disc view with a
//     ready picture: the picture stretched into the square (W - S, 30)-(W, 30 + S),
//     S = min(W/2, H/2); a list view with a loaded list: the list at (W/2 + 10, 30) down to H/2.
//   A list: header 16 px at (x, y); entry i at (x, y + 20 + 16i), keep start, W/19 characters;
//     at most min((H/2 - y)/16, 25, entries) entries, none whose top lies below the limit and
//     none whose line (h(16) high) would reach past the bottom of its area.
// Keep start draws the first n characters and "…"; keep end "…" and the last n characters.
// Characters are counted as UTF-8 code points, never cut inside one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/geometry.h"
#include "ui/window_state.h"

namespace tunora::ui {

struct PaintOp {
  enum class Kind {
    kFill,   // rect in colour
    kText,   // text at (rect.x, rect.y), font_px high, on background, rect.width the room
             // (0: no limit)
    kStar,   // the program icon, 16 x 16, in rect
    kCover,  // the decoded cover picture stretched into rect (no aspect correction)
  };
  // How a text wider than its room is shortened.
  enum class Elide { kNone, kKeepStart, kKeepEnd };
  Kind kind = Kind::kFill;
  Rect rect;
  Color color = kWhite;       // kFill: the fill; kText: the text colour
  Color background = kWhite;  // kText: the text cell's background
  std::string text;
  int32_t font_px = 0;
  Elide elide = Elide::kNone;
  friend bool operator==(const PaintOp&, const PaintOp&) = default;
};

// The current song's display strings (filled by the player).
struct SongTexts {
  std::string path;
  std::string title;
  std::string artist;
  std::string album;
  std::string comment;
};

struct PaintInput {
  int32_t width = 0;
  int32_t height = 0;
  SongTexts song;
  uint32_t score = 0;                       // the song's rating score for the current user
  std::array<int32_t, 10> rating_values{};  // RatingValue[0..9]
  int32_t upper_right_view = 1;
  int32_t lower_left_view = 0;
  bool list_loaded = false;
  QuickLinkList list;
  bool cover_ready = false;  // loaded, ready and failed fewer than 16 times
  // The line height (ascent plus descent) of the font of a pixel size; unset, the pixel size.
  std::function<int32_t(int32_t font_px)> line_height;
};

std::vector<PaintOp> paintDisplay(const PaintInput& input);

// The shortening mark.
inline constexpr char kEllipsis[] = "\xE2\x80\xA6";  // "…"

// Shortening to at most `max_chars` characters: the first ones and "…" (keep start), or "…"
// and the last ones (keep end). Texts that fit are returned whole.
std::string keepStart(std::string_view text, int32_t max_chars);
std::string keepEnd(std::string_view text, int32_t max_chars);

// The star count for a score: the highest k (1..10) whose threshold rating_values[k-1] the
// score reaches, searching from the tenth down; 0 when none.
int32_t starCount(uint32_t score, const std::array<int32_t, 10>& rating_values);

// The rectangle the cover loader repaints when a picture is ready.
Rect coverRepaintArea(int32_t width, int32_t height);

}  // namespace tunora::ui

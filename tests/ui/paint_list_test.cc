// The paint list with lines taller than their font size, as real fonts are. (Which lines show, how
// long texts are shortened, the stars, the picture area and the window's look are measured in the
// desktop program's screenshots.)
#include "ui/paint_list.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tunora::ui {
namespace {

// The text drawn at (x, y); "<none>" when nothing is.
std::string textAt(const std::vector<PaintOp>& ops, int32_t x, int32_t y) {
  for (const PaintOp& op : ops) {
    if (op.kind == PaintOp::Kind::kText && op.rect.x == x && op.rect.y == y) return op.text;
  }
  return "<none>";
}

// Each line starts below the last.
TEST(PaintTest, TallerFontsPushTheLinesBelowDown) {
  PaintInput in;
  in.width = 800;
  in.height = 600;
  in.song = {"/music/Artist/Album/01 Song.mp3", "Song", "Artist", "Album", "Comment"};
  in.rating_values = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
  in.score = 35;                                            // three stars
  in.line_height = [](int32_t px) { return px + px / 4; };  // 31, 25, 22, 20
  const std::vector<PaintOp> ops = paintDisplay(in);
  const auto star = std::find_if(ops.begin(), ops.end(),
                                 [](const PaintOp& op) { return op.kind == PaintOp::Kind::kStar; });
  ASSERT_NE(star, ops.end());
  EXPECT_EQ(star->rect.y, 61) << "below the title's 30 + 31";
  EXPECT_EQ(textAt(ops, 3, 105), "Album") << "80 + 25";
  EXPECT_EQ(textAt(ops, 3, 152), "Comment") << "130 + 22";
}

}  // namespace
}  // namespace tunora::ui

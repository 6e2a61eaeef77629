// The layout arithmetic around its thresholds, and placing the main window: the saved rectangle
// when sane, the default size otherwise, never larger than the screen's free area with the frame,
// and inside it.
#include "ui/layout.h"

#include <gtest/gtest.h>

#include "ui/window_placement.h"

namespace tunora::ui {
namespace {

// Each row: width, height, whether the list shows, then the list's, the slider's and the video's
// rectangles (x, y, width, height) and the status parts' right edges.
TEST(LayoutTest, ListSliderStatusAndVideoAroundTheirThresholds) {
  const std::vector<std::vector<int32_t>> rows = {
      {640, 251, 1, 0, 161, 640, 67, 0, 139, 320, 20, 320, 30, 320, 125, 160, 320, 480, 640},
      {640, 250, 0, 0, 250, 640, 156, 0, 139, 320, 20, 320, 30, 320, 125, 160, 320, 480, 640},
      {640, 60, 0, 0, 60, 640, 0, 0, 60, 320, 20, 320, 30, 320, 30, 160, 320, 480, 640},
      {640, 119, 0, 0, 119, 640, 25, 0, 60, 320, 20, 320, 30, 320, 59, 160, 320, 480, 640},
      {401, 300, 1, 0, 186, 401, 92, 0, 164, 200, 20, 200, 30, 200, 150, 100, 200, 300, 401},
      {400, 300, 1, 0, 186, 400, 92, 0, 164, 400, 20, 0, 30, 400, 400, 200, 400}};
  for (const std::vector<int32_t>& r : rows) {
    const Layout l = computeLayout(r[0], r[1]);
    const auto rect = [&](size_t i) { return Rect{r[i], r[i + 1], r[i + 2], r[i + 3]}; };
    const std::string name = std::to_string(r[0]) + "x" + std::to_string(r[1]);
    EXPECT_EQ(l.list_visible, r[2] == 1) << name;
    EXPECT_EQ(l.list, rect(3)) << name;
    EXPECT_EQ(l.slider, rect(7)) << name;
    EXPECT_EQ(l.video, rect(11)) << name;
    EXPECT_EQ(l.status_part_edges, std::vector<int32_t>(r.begin() + 15, r.end())) << name;
  }
}

TEST(WindowPlacementTest, SavedRectangleWhenItIsAUsableSize) {
  struct Case {
    int32_t left, top, right, bottom;
    std::optional<Rect> rect;
  };
  for (const Case& c : {
           Case{10, 20, 810, 580, Rect{10, 20, 800, 560}},
           Case{0, 0, 140, 80, Rect{0, 0, 140, 80}},  // the smallest
           Case{0, 0, 139, 80, std::nullopt}, Case{0, 0, 140, 79, std::nullopt},
           Case{0, 0, 0, 0, std::nullopt},  // never saved
           Case{-5, 0, 16379, 500, Rect{-5, 0, 16384, 500}}, Case{-5, 0, 16380, 500, std::nullopt},
           Case{INT32_MIN, 0, INT32_MAX, 500, std::nullopt},  // no overflow
       }) {
    EXPECT_EQ(savedClientRect({44, 0, 1, 0, 0, 0, 0, c.left, c.top, c.right, c.bottom}), c.rect)
        << c.left << "," << c.top << " " << c.right << "," << c.bottom;
  }
}

TEST(WindowPlacementTest, FitsTheFreeAreaFrameIncluded) {
  const Rect screen{0, 0, 1024, 768};
  const FrameMargins none;
  const FrameMargins frame{2, 30, 2, 2};
  struct Case {
    std::optional<Rect> wanted;
    Rect area;
    FrameMargins frame;
    Rect placed;
  };
  for (const Case& c : {
           // A first start: the default size, centred.
           Case{std::nullopt, screen, none, Rect{112, 104, 800, 560}},
           // At scale 2 a 1600 x 1000 screen is 800 x 500: the window is as high as that.
           Case{std::nullopt, Rect{0, 0, 800, 500}, none, Rect{0, 0, 800, 500}},
           Case{std::nullopt, Rect{0, 0, 800, 500}, frame, Rect{2, 30, 796, 468}},
           // A saved rectangle that fits stays as it is.
           Case{Rect{10, 40, 600, 400}, screen, frame, Rect{10, 40, 600, 400}},
           // Too large: shrunk to the area, then moved in.
           Case{Rect{100, 100, 3000, 2000}, screen, none, Rect{0, 0, 1024, 768}},
           // Off to the right and below (a screen gone smaller): moved back in.
           Case{Rect{900, 700, 400, 300}, screen, frame, Rect{622, 466, 400, 300}},
           // Above and left of a panel: the frame's top stays on the area.
           Case{Rect{-50, 0, 400, 300}, Rect{0, 24, 1024, 744}, frame, Rect{2, 54, 400, 300}},
       }) {
    EXPECT_EQ(fitWindow(c.wanted, c.area, c.frame), c.placed)
        << c.placed.x << "," << c.placed.y << " " << c.placed.width << "x" << c.placed.height;
  }
}

}  // namespace
}  // namespace tunora::ui

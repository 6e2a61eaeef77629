// The layout arithmetic around its thresholds.
#include "ui/layout.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tunora::ui

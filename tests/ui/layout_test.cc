// The layout arithmetic around its thresholds.
#include "ui/layout.h"

#include <gtest/gtest.h>

#include "engine/shared_words.h"

namespace tunora::ui {
namespace {

TEST(LayoutTest, ListSliderStatusAndVideoAroundTheirThresholds) {
  struct Case {
    int32_t w, h;
    bool list_visible;
    Rect list, slider, video;
    std::vector<int32_t> edges;
  };
  for (const Case& c : {
           Case{640,
                251,
                true,
                {0, 161, 640, 67},
                {0, 139, 320, 20},
                {320, 30, 320, 125},
                {160, 320, 480, 640}},
           Case{640,
                250,
                false,
                {0, 250, 640, 156},
                {0, 139, 320, 20},
                {320, 30, 320, 125},
                {160, 320, 480, 640}},
           Case{640,
                60,
                false,
                {0, 60, 640, 0},
                {0, 60, 320, 20},
                {320, 30, 320, 30},
                {160, 320, 480, 640}},
           Case{640,
                119,
                false,
                {0, 119, 640, 25},
                {0, 60, 320, 20},
                {320, 30, 320, 59},
                {160, 320, 480, 640}},
           Case{401,
                300,
                true,
                {0, 186, 401, 92},
                {0, 164, 200, 20},
                {200, 30, 200, 150},
                {100, 200, 300, 401}},
           Case{
               400, 300, true, {0, 186, 400, 92}, {0, 164, 400, 20}, {0, 30, 400, 400}, {200, 400}},
       }) {
    const Layout l = computeLayout(c.w, c.h);
    const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h);
    EXPECT_EQ(l.list_visible, c.list_visible) << name;
    EXPECT_EQ(l.list, c.list) << name;
    EXPECT_EQ(l.slider, c.slider) << name;
    EXPECT_EQ(l.video, c.video) << name;
    EXPECT_EQ(l.status_part_edges, c.edges) << name;
  }
}

TEST(LayoutTest, VideoMoveIsAskedOnlyWhilePlayingWithNoRequestPending) {
  engine::SharedWords words;
  EXPECT_FALSE(requestVideoMove(words));
  words.playing.store(1);
  words.player_request.store(4);
  EXPECT_FALSE(requestVideoMove(words));
  EXPECT_EQ(words.player_request.load(), 4);
  words.player_request.store(0);
  EXPECT_TRUE(requestVideoMove(words));
  EXPECT_EQ(words.player_request.load(), 6);
}

}  // namespace
}  // namespace tunora::ui

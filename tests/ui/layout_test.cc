// The layout arithmetic around its thresholds.
#include "ui/layout.h"

#include <gtest/gtest.h>

#include "engine/shared_words.h"

namespace tunora::ui {
namespace {

TEST(LayoutTest, TallWindowShowsTheListAboveTheStatusBar) {
  for (int32_t h : {251, 252, 400, 401, 800}) {
    Layout l = computeLayout(640, h);
    EXPECT_TRUE(l.list_visible) << h;
    EXPECT_EQ(l.list.y, h / 2 + 36) << h;
    EXPECT_EQ(l.list.height, h / 2 + 36 - 94) << h;
    EXPECT_EQ(l.list.width, 640);
    EXPECT_LE(h - l.list.bottom(), 23) << h;
    EXPECT_GE(h - l.list.bottom(), 22) << h;
  }
}

TEST(LayoutTest, WindowOf250OrLessPushesTheListOutOfSight) {
  for (int32_t h : {250, 249, 175, 120, 94, 60, 0}) {
    Layout l = computeLayout(640, h);
    EXPECT_FALSE(l.list_visible) << h;
    EXPECT_EQ(l.list.y, h) << h;
    EXPECT_GE(l.list.height, 0) << h;
  }
  EXPECT_EQ(computeLayout(640, 250).list.height, 250 - 94);
  EXPECT_EQ(computeLayout(640, 60).list.height, 0) << "no negative height";
}

TEST(LayoutTest, SliderSitsBelowTheDisplayAndNeverAbove60) {
  EXPECT_EQ(computeLayout(640, 400).slider, (Rect{0, 214, 320, 20}));
  EXPECT_EQ(computeLayout(640, 120).slider, (Rect{0, 74, 320, 20}));
  EXPECT_EQ(computeLayout(640, 119).slider, (Rect{0, 60, 320, 20})) << "H/2 = 59";
  EXPECT_EQ(computeLayout(640, 60).slider, (Rect{0, 60, 320, 20}));
  EXPECT_EQ(computeLayout(401, 250).slider.width, 200);
  EXPECT_EQ(computeLayout(400, 250).slider.width, 400);
  EXPECT_EQ(computeLayout(175, 250).slider.width, 175);
}

TEST(LayoutTest, StatusBarHasFourPartsOnlyAbove400) {
  EXPECT_EQ(computeLayout(401, 300).status_part_edges, (std::vector<int32_t>{100, 200, 300, 401}));
  EXPECT_EQ(computeLayout(800, 300).status_part_edges, (std::vector<int32_t>{200, 400, 600, 800}));
  EXPECT_EQ(computeLayout(400, 300).status_part_edges, (std::vector<int32_t>{200, 400}));
  EXPECT_EQ(computeLayout(175, 300).status_part_edges, (std::vector<int32_t>{87, 175}));
}

TEST(LayoutTest, VideoAreaIsTheUpperRightQuarterOrAFixedSquare) {
  EXPECT_EQ(computeLayout(800, 600).video, (Rect{400, 30, 400, 300}));
  EXPECT_EQ(computeLayout(401, 250).video, (Rect{200, 30, 200, 125}));
  EXPECT_EQ(computeLayout(400, 250).video.width, 400);
  EXPECT_EQ(computeLayout(400, 250).video.height, 400);
}

TEST(LayoutTest, VideoMoveIsAskedOnlyWhilePlayingWithNoRequestPending) {
  engine::SharedWords words;
  EXPECT_FALSE(requestVideoMove(words));
  EXPECT_EQ(words.player_request.load(), 0);
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

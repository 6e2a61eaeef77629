// Clicks in the painted display: list lines, the Cover/Disc switch.
#include "ui/display_click.h"

#include <gtest/gtest.h>

#include "tests/ui/ui_fixture.h"

namespace tunora::testing {
namespace {

using Kind = ui::DisplayClick::Kind;

ui::DisplayClickInput at(int32_t x, int32_t y) {
  ui::DisplayClickInput in;
  in.x = x;
  in.y = y;
  in.width = 800;
  return in;
}

TEST(DisplayClickRules, UpperRightListLines) {
  ui::DisplayClickInput in = at(500, 50);
  in.upper_right_view = 12;
  in.list_entries = 3;
  EXPECT_EQ(ui::classifyDisplayClick(in).entry, 0);
  in.y = 65;
  EXPECT_EQ(ui::classifyDisplayClick(in).entry, 0);
  in.y = 66;
  EXPECT_EQ(ui::classifyDisplayClick(in).entry, 1);
  in.y = 97;
  EXPECT_EQ(ui::classifyDisplayClick(in).entry, 2);
  in.y = 98;
  EXPECT_EQ(ui::classifyDisplayClick(in).kind, Kind::kNothing) << "past the last entry";
  for (int32_t y : {49, 40, 35, 31}) {
    in.y = y;
    EXPECT_EQ(ui::classifyDisplayClick(in).kind, Kind::kNothing) << "header line, y " << y;
  }
}

TEST(DisplayClickRules, LowerLeftListLines) {
  ui::DisplayClickInput in = at(100, 216);
  in.lower_left_view = 10;
  in.list_entries = 5;
  EXPECT_EQ(ui::classifyDisplayClick(in).entry, 1);
  in.y = 199;
  EXPECT_EQ(ui::classifyDisplayClick(in).kind, Kind::kNothing);
  in.lower_left_view = 0;
  in.y = 216;
  EXPECT_EQ(ui::classifyDisplayClick(in).kind, Kind::kNothing);
  // A narrow window still has the left half.
  in.lower_left_view = 11;
  in.width = 300;
  in.x = 100;
  EXPECT_EQ(ui::classifyDisplayClick(in).entry, 1);
}

TEST(DisplayClickRules, PictureClickFlipsCoverAndDiscWhenTheOtherExists) {
  ui::DisplayClickInput in = at(600, 100);
  in.upper_right_view = 1;
  EXPECT_EQ(ui::classifyDisplayClick(in).kind, Kind::kNothing) << "no disc picture";
  in.disc_found = true;
  ui::DisplayClick c = ui::classifyDisplayClick(in);
  EXPECT_EQ(c.kind, Kind::kSwitchView);
  EXPECT_EQ(c.new_upper_right_view, 2);
  in.upper_right_view = 2;
  EXPECT_EQ(ui::classifyDisplayClick(in).kind, Kind::kNothing) << "no cover picture";
  in.cover_found = true;
  EXPECT_EQ(ui::classifyDisplayClick(in).new_upper_right_view, 1);
  // In a window of 400 or less there is no upper-right area.
  in.width = 400;
  in.x = 300;
  EXPECT_EQ(ui::classifyDisplayClick(in).kind, Kind::kNothing);
}

class DisplayClickTest : public UiTest {};

TEST_F(DisplayClickTest, PickedLinePlaysItsRecordAtOnce) {
  window_state_.client_width.store(800);
  settings().set(settings::kUpperRightView, 11);
  ui::QuickLinkList list;
  list.header = "h";
  list.entries = {{"a", 31}, {"b", 32}, {"c", -1}};
  window_state_.quick_links.setList(list);

  EXPECT_EQ(ui::handleDisplayClick(500, 70, settings(), window_state_, words(), player_).entry, 1);
  EXPECT_EQ(player_.current().slot, 32);
  EXPECT_EQ(player_.play_chosen.load(), 1);
  EXPECT_EQ(words().player_request.load(), 1);

  // A line that stands for no record does nothing.
  words().player_request.store(0);
  EXPECT_EQ(ui::handleDisplayClick(500, 85, settings(), window_state_, words(), player_).kind,
            Kind::kNothing);
  EXPECT_EQ(words().player_request.load(), 0);

  // A list not loaded (being rebuilt) has no lines.
  window_state_.quick_links.markForReload();
  EXPECT_EQ(ui::handleDisplayClick(500, 55, settings(), window_state_, words(), player_).kind,
            Kind::kNothing);
}

TEST_F(DisplayClickTest, SwitchStoresTheViewAndReloadsThePicture) {
  window_state_.client_width.store(800);
  settings().set(settings::kUpperRightView, 1);
  window_state_.cover.disc_found.store(1);
  window_state_.cover.ready.store(1);
  ui::handleDisplayClick(700, 100, settings(), window_state_, words(), player_);
  EXPECT_EQ(settings().get(settings::kUpperRightView), 2);
  EXPECT_EQ(window_state_.cover.ready.load(), 0);
  EXPECT_EQ(words().player_request.load(), 0);
}

}  // namespace
}  // namespace tunora::testing

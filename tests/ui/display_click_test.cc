// Clicks in the painted display: list lines, the Cover/Disc switch.
#include "ui/display_click.h"

#include <gtest/gtest.h>

#include "tests/ui/ui_fixture.h"

namespace tunora::testing {
namespace {

using Kind = ui::DisplayClick::Kind;

// Each click as (what it means, the entry picked or the new upper-right view); -1 for nothing.
TEST(DisplayClickRules, ListLinesAndThePictureSwitch) {
  struct Case {
    const char* name;
    ui::DisplayClickInput in;  // x, y, width, upper right, lower left, entries, cover, disc
    Kind kind;
    int32_t result;
  };
  const Case cases[] = {
      {"first line", {500, 50, 800, 12, 0, 3}, Kind::kPickEntry, 0},
      {"second line", {500, 66, 800, 12, 0, 3}, Kind::kPickEntry, 1},
      {"last entry", {500, 97, 800, 12, 0, 3}, Kind::kPickEntry, 2},
      {"past the last entry", {500, 98, 800, 12, 0, 3}, Kind::kNothing, -1},
      {"header line", {500, 49, 800, 12, 0, 3}, Kind::kNothing, -1},
      {"lower left", {100, 216, 800, 1, 10, 5}, Kind::kPickEntry, 1},
      {"above the lower-left list", {100, 199, 800, 1, 10, 5}, Kind::kNothing, -1},
      {"lower left shows nothing", {100, 216, 800, 1, 0, 5}, Kind::kNothing, -1},
      {"narrow window's left half", {100, 216, 300, 1, 11, 5}, Kind::kPickEntry, 1},
      {"cover without a disc", {600, 100, 800, 1, 0, 0, true, false}, Kind::kNothing, -1},
      {"cover to disc", {600, 100, 800, 1, 0, 0, false, true}, Kind::kSwitchView, 2},
      {"disc to cover", {600, 100, 800, 2, 0, 0, true, true}, Kind::kSwitchView, 1},
      {"no upper right at 400", {300, 100, 400, 2, 0, 0, true, true}, Kind::kNothing, -1},
  };
  for (const Case& c : cases) {
    const ui::DisplayClick click = ui::classifyDisplayClick(c.in);
    EXPECT_EQ(click.kind, c.kind) << c.name;
    const int32_t result = c.kind == Kind::kPickEntry    ? click.entry
                           : c.kind == Kind::kSwitchView ? click.new_upper_right_view
                                                         : -1;
    EXPECT_EQ(result, c.result) << c.name;
  }
}

class DisplayClickTest : public UiTest {};

TEST_F(DisplayClickTest, PickedLinePlaysItsRecordAtOnce) {
  window_state_.client_width.store(800);
  settings().set(settings::kUpperRightView, 11);
  window_state_.quick_links.setList({"h", {{"a", 31}, {"b", 32}, {"c", -1}}});

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

}  // namespace
}  // namespace tunora::testing

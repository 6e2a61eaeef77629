// The window's input without a display: the digit windows after U and A (which key posts which
// command is a table in the code), what a click in the painted display means (list lines, the
// Cover/Disc switch), and the shutdown after a build.

#include "tests/ui/ui_fixture.h"
#include "ui/display_click.h"
#include "ui/keyboard.h"
#include "ui/shutdown.h"

namespace tunora::testing {
namespace {

class FakePower final : public ui::PowerControl {
 public:
  bool canPowerOff() override { return allowed; }
  bool powerOff() override { return ++calls > 0; }
  bool allowed = true;
  int calls = 0;
};

// Wanted only with Shutdown and AutoBuild on while silent; the first button (or the time-out)
// powers off, the second aborts.
TEST(ShutdownTest, WantedWhileSilentAndTheFirstButtonOrTheTimeOutPowersOff) {
  Settings s;
  engine::SharedWords words;
  s.set(settings::kShutdown, 1);
  EXPECT_FALSE(ui::shutdownAfterBuildWanted(s, words)) << "AutoBuild off";
  s.set(settings::kAutoBuild, 1);
  EXPECT_TRUE(ui::shutdownAfterBuildWanted(s, words));
  words.playing.store(1);
  EXPECT_FALSE(ui::shutdownAfterBuildWanted(s, words));
  ScriptedMessageDialog dialog;
  FakePower power;
  // The dialog reports its time-out as the first button.
  dialog.script({ui::kFirstButton, ui::kSecondButton, ui::kFirstButton});
  EXPECT_TRUE(ui::runShutdownAfterBuild(dialog, power));
  EXPECT_EQ(power.calls, 1);
  ASSERT_EQ(dialog.requests().size(), 1u);
  EXPECT_EQ(dialog.requests()[0].timeout_seconds, 30);
  EXPECT_FALSE(ui::runShutdownAfterBuild(dialog, power));
  EXPECT_EQ(power.calls, 1);
  power.allowed = false;
  EXPECT_FALSE(ui::runShutdownAfterBuild(dialog, power));
  EXPECT_EQ(power.calls, 1) << "not asked when the power service refuses";
}

class KeyTest : public UiTest {};

// Key sequences from user 2 and alt mode 6 in state 4: U picks a user (0 is the tenth) and
// clears the alt mode, A picks an alt mode (0 off, keeping the user; another clears the user),
// each closes the other's window, and a digit without a window is not taken.
TEST_F(KeyTest, DigitsAfterUOrASelectTheUserOrTheAltMode) {
  settings().set(settings::kCurrentState, 4);
  struct Case {
    const char* keys;
    int32_t user, mode;
  };
  for (Case c : {Case{"U0", 9, 0}, Case{"U01", 0, 0}, Case{"U019", 8, 0}, Case{"A3", 0, 3},
                 Case{"A0", 2, 0}, Case{"UA5", 0, 5}, Case{"UA5U5", 4, 0}, Case{"3", 2, 6}}) {
    words().user_digit_counter.store(0);
    words().alt_digit_counter.store(0);
    settings().set(settings::kStateUser, 4, 2);
    settings().set(settings::kStateAltMode, 4, 6);
    bool digit_taken = false;
    for (const char* k = c.keys; *k != 0; ++k)
      digit_taken = ui::handleKey(*k, words(), settings(), program_.status()).handled;
    EXPECT_EQ(settings().get(settings::kStateUser, 4), c.user) << c.keys;
    EXPECT_EQ(settings().get(settings::kStateAltMode, 4), c.mode) << c.keys;
    EXPECT_EQ(digit_taken, c.keys[1] != 0) << c.keys;
  }
  EXPECT_EQ(settings().get(settings::kStateUser, 0), 0) << "only the current state changes";
}

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

}  // namespace
}  // namespace tunora::testing

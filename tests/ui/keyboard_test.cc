// The keyboard table and its digit windows, counted down by the supervisor's ticks.
#include "ui/keyboard.h"

#include <gtest/gtest.h>

#include "tests/ui/ui_fixture.h"
#include "ui/command_numbers.h"

namespace tunora::testing {
namespace {

class KeyTest : public UiTest {
 protected:
  void SetUp() override {
    settings().set(settings::kCurrentState, 4);
    settings().set(settings::kStateUser, 4, 2);
    settings().set(settings::kStateAltMode, 4, 6);
  }
  ui::KeyOutcome press(int32_t key) {
    return ui::handleKey(key, words(), settings(), program_.status());
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(program_.supervisor().tick());
  }
  int32_t user() { return settings().get(settings::kStateUser, 4); }
  int32_t mode() { return settings().get(settings::kStateAltMode, 4); }
};

TEST_F(KeyTest, UThenZeroSelectsTheTenthUserAndClearsTheAltMode) {
  EXPECT_TRUE(press('U').handled);
  EXPECT_TRUE(press('0').handled);
  EXPECT_EQ(user(), 9);
  EXPECT_EQ(mode(), 0);
  EXPECT_EQ(settings().get(settings::kStateUser, 0), 0) << "only the current state changes";
  // More digits follow the same U.
  press('1');
  EXPECT_EQ(user(), 0);
  press('9');
  EXPECT_EQ(user(), 8);
}

TEST_F(KeyTest, AThenThreeSelectsAltModeThreeAndUserZero) {
  press('A');
  press('3');
  EXPECT_EQ(mode(), 3);
  EXPECT_EQ(user(), 0);
}

TEST_F(KeyTest, ZeroInTheAltWindowTurnsTheAltModeOffAndKeepsTheUser) {
  press('A');
  press('0');
  EXPECT_EQ(mode(), 0);
  EXPECT_EQ(user(), 2);
}

TEST_F(KeyTest, UAndACloseEachOther) {
  press('U');
  press('A');
  press('5');
  EXPECT_EQ(mode(), 5) << "the digit went to the alt window";
  EXPECT_EQ(user(), 0);
  press('U');
  press('5');
  EXPECT_EQ(user(), 4);
  EXPECT_EQ(mode(), 0);
}

TEST_F(KeyTest, DigitWindowLastsTwentySupervisorTicks) {
  press('U');
  ticks(19);
  EXPECT_TRUE(press('4').handled);
  EXPECT_EQ(user(), 3);
  ticks(1);
  EXPECT_FALSE(press('7').handled) << "a digit 20 ticks after U does nothing";
  EXPECT_EQ(user(), 3);

  press('A');
  ticks(20);
  press('7');
  EXPECT_EQ(mode(), 0);
  EXPECT_EQ(user(), 3);
}

TEST_F(KeyTest, DigitsWithoutAWindowAreNotTaken) {
  EXPECT_FALSE(press('3').handled);
  EXPECT_EQ(user(), 2);
  EXPECT_EQ(mode(), 6);
}

TEST_F(KeyTest, DigitChangesRefreshTheStatus) {
  const int64_t before = program_.status().refreshCount();
  press('U');
  press('2');
  EXPECT_EQ(program_.status().refreshCount(), before + 1);
}

TEST_F(KeyTest, CommandKeys) {
  struct Case {
    int32_t key;
    int32_t command;
  };
  for (Case c : {Case{ui::kKeyF1, 11}, Case{'P', 1}, Case{ui::kKeyMediaPlay, 1}, Case{'S', 5},
                 Case{'R', 3}, Case{'B', 4}, Case{'F', 5250}, Case{'O', 10}}) {
    ui::KeyOutcome out = press(c.key);
    EXPECT_TRUE(out.handled);
    EXPECT_EQ(out.command, c.command) << c.key;
    EXPECT_FALSE(out.show_menu);
  }
  EXPECT_TRUE(press('M').show_menu);
  EXPECT_EQ(press('M').command, 0);
  for (int32_t key : {int32_t{'X'}, int32_t{'Z'}, 0x71, 0x20})
    EXPECT_FALSE(press(key).handled) << key;
  EXPECT_EQ(words().player_request.load(), 0) << "keys only post commands";
}

TEST_F(KeyTest, CTogglesCoverArt) {
  settings().set(settings::kCoverArt, 1);
  press('C');
  EXPECT_EQ(settings().get(settings::kCoverArt), 0);
  press('C');
  EXPECT_EQ(settings().get(settings::kCoverArt), 1);
}

}  // namespace
}  // namespace tunora::testing

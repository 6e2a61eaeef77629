// The digit windows after U and A. (Which key posts which command is a table in the code.)
#include "ui/keyboard.h"

#include <gtest/gtest.h>

#include "tests/ui/ui_fixture.h"

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
  int32_t user() { return settings().get(settings::kStateUser, 4); }
  int32_t mode() { return settings().get(settings::kStateAltMode, 4); }
};

// Key sequences from user 2 and alt mode 6 in state 4: U picks a user (0 is the tenth) and
// clears the alt mode, A picks an alt mode (0 off, keeping the user; another clears the user),
// each closes the other's window, and a digit without a window is not taken.
TEST_F(KeyTest, DigitsAfterUOrASelectTheUserOrTheAltMode) {
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
    for (const char* k = c.keys; *k != 0; ++k) digit_taken = press(*k).handled;
    EXPECT_EQ(user(), c.user) << c.keys;
    EXPECT_EQ(mode(), c.mode) << c.keys;
    EXPECT_EQ(digit_taken, c.keys[1] != 0) << c.keys;
  }
  EXPECT_EQ(settings().get(settings::kStateUser, 0), 0) << "only the current state changes";
}

}  // namespace
}  // namespace tunora::testing

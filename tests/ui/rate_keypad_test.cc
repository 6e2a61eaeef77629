// The Rate keypad's buttons and answers, and the answer's way to request 2 with its button.
#include "ui/rate_keypad.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/lock_codes.h"
#include "tests/ui/ui_fixture.h"
#include "ui/command_numbers.h"
#include "ui/window_actions.h"

namespace tunora::ui {
namespace {

TEST(RateKeypadTest, ButtonsTenDownToZeroThenDeleteReportTheirRating) {
  for (int32_t n = 0; n <= 10; ++n) {
    const RateButton& button = kRateButtons[static_cast<size_t>(10 - n)];
    EXPECT_EQ(button.command, 1200 + n);
    EXPECT_TRUE(endsRateKeypad(button.command));
    EXPECT_EQ(rateKeypadButton(button.command), n);
  }
  EXPECT_EQ(kRateButtons[11].command, 1213);
  EXPECT_EQ(rateKeypadButton(1213), kRateDelete);
  EXPECT_EQ(kRateButtons[12].command, 2);
  EXPECT_EQ(rateKeypadButton(2), std::nullopt);
  // Reports that are no button's are not ratings.
  EXPECT_TRUE(endsRateKeypad(1249));
  EXPECT_FALSE(endsRateKeypad(1250));
  EXPECT_FALSE(endsRateKeypad(1199));
  EXPECT_EQ(rateKeypadButton(1211), std::nullopt);
  EXPECT_EQ(rateKeypadButton(1249), std::nullopt);
  EXPECT_EQ(rateKeypadButton(0), std::nullopt);
}

class RateCommandTest : public tunora::testing::UiTest {};

TEST_F(RateCommandTest, AKeypadAnswerBecomesRequestTwoWithItsButtonAndCancelAsksNothing) {
  actions_.keypad_answer = rateKeypadButton(1213);
  EXPECT_EQ(dispatcher_.dispatch(kCmdRate), CommandOutcome::kHandled);
  EXPECT_EQ(words().request.load(), engine::kCodeStoreRating);
  EXPECT_EQ(words().request_parameter.load(), kRateDelete);

  words().request.store(0);
  actions_.keypad_answer = rateKeypadButton(1207);
  (void)dispatcher_.dispatch(kCmdRate);
  EXPECT_EQ(words().request_parameter.load(), 7);

  words().request.store(0);
  actions_.keypad_answer = rateKeypadButton(kRateCancel);
  (void)dispatcher_.dispatch(kCmdRate);
  EXPECT_EQ(words().request.load(), 0);
}

}  // namespace
}  // namespace tunora::ui

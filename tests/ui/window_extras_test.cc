// Shutdown after a build.
#include <gtest/gtest.h>

#include "tests/ui/ui_fixture.h"
#include "ui/shutdown.h"

namespace tunora::testing {
namespace {

class FakePower final : public ui::PowerControl {
 public:
  bool canPowerOff() override { return allowed; }
  bool powerOff() override {
    ++calls;
    return true;
  }
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

}  // namespace
}  // namespace tunora::testing

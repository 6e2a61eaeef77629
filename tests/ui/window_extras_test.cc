// Shutdown after a build, and the display's input gathered from the program.
#include <gtest/gtest.h>

#include <tuple>

#include "tests/ui/ui_fixture.h"
#include "ui/display_input.h"
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

class DisplayInputTest : public UiTest {};

TEST_F(DisplayInputTest, GathersTheSongTheViewsAndTheWindowState) {
  player_.setCurrent({.rating = 55, .title = "T", .note = "N"});
  player_.setPlayPath("/m/t.mp3");
  settings().set(settings::kRatingValue, 9, 500);
  settings().set(settings::kUpperRightView, 2);
  settings().set(settings::kLowerLeftView, 12);
  window_state_.client_width.store(640);
  window_state_.client_height.store(480);
  window_state_.cover.ready.store(1);
  window_state_.quick_links.setList({"H", {}});

  ui::PaintInput in = ui::displayInput(player_, settings(), window_state_);
  EXPECT_EQ(std::tuple(in.width, in.height, in.song.path, in.song.title, in.song.comment),
            std::tuple(640, 480, "/m/t.mp3", "T", "N"));
  EXPECT_EQ(std::tuple(in.score, in.rating_values[9], in.upper_right_view, in.lower_left_view),
            std::tuple(55u, 500, 2, 12));
  EXPECT_TRUE(in.list_loaded && in.list.header == "H" && in.cover_ready);
  window_state_.cover.markForReload();
  EXPECT_FALSE(ui::displayInput(player_, settings(), window_state_).cover_ready);
}

}  // namespace
}  // namespace tunora::testing

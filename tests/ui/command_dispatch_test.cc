// The command table: each command's effect on the shared words, the lock's requests, the
// settings and the window.
#include <gmock/gmock.h>

#include "engine/lock_codes.h"
#include "tests/ui/ui_fixture.h"
#include "ui/command_numbers.h"
#include "ui/rate_keypad.h"

namespace tunora::testing {
namespace {

using ui::CommandOutcome;

using CommandTest = UiTest;

// What each command asks of the player, the executor, the builder and the window, by table; first
// Play with an empty list, which asks for a build only when idle or counting offline.
TEST_F(CommandTest, CommandsSetTheirRequestWords) {
  for (auto [before, after] : {std::pair{0, 10}, std::pair{2, 2}, std::pair{1000, 1000},
                               std::pair{1001, 10}, std::pair{1999, 1999}}) {
    words().build_request.store(before);
    EXPECT_EQ(dispatcher_.dispatch(ui::kCmdPlay), CommandOutcome::kHandled);
    EXPECT_EQ(words().build_request.load(), after) << "build word " << before;
    EXPECT_EQ(words().player_request.load(), 1);
  }
  EXPECT_THAT(actions_.calls, ::testing::Contains("image 12"));
  actions_.calls.clear();
  for (int i = 0; i < 4; ++i) program_.playList().append({"T", "A", "Al", "/m/a.mp3", "mp3"});
  struct Case {
    const char* name;
    int32_t command, playing, build_before;
    int32_t player_request, request, parameter, build_after;
  };
  for (const Case& c : {
           Case{"play pauses", ui::kCmdPlay, 1, 0, 2, 0, -1, 0},
           Case{"play with songs prepared", ui::kCmdPlay, 0, 0, 1, 0, -1, 0},
           Case{"stop", ui::kCmdStop, 0, 0, 3, 0, -1, 0},
           Case{"restart", ui::kCmdRestart, 0, 0, 7, 0, -1, 0},
           Case{"play back", ui::kCmdPlayBack, 0, 0, 8, 0, -1, 0},
           Case{"skip while silent", ui::kCmdSkip, 0, 0, 0, 0, -1, 0},
           Case{"skip", ui::kCmdSkip, 1, 0, 4, 0, -1, 0},
           Case{"remove", ui::kCmdRemoveRow, 0, 0, 0, engine::kCodeRemoveRow, 0, 0},
           Case{"play now", ui::kCmdPlayNow, 0, 0, 0, engine::kCodePlayRowNow, 0, 0},
           Case{"play next", ui::kCmdPlayNext, 0, 0, 0, engine::kCodeMoveRowToTop, 0, 0},
           Case{"clear", ui::kCmdClearList, 0, 0, 0, engine::kCodeClearList, 4, 0},
           Case{"build now", ui::kCmdBuildNow, 0, 0, 0, 0, -1, 10},
           Case{"lock offline", ui::kCmdLockOffline, 0, 0, 0, 0, -1, 1999},
           Case{"unlock offline", ui::kCmdLockOffline, 0, 1999, 0, 0, -1, 0},
           Case{"set offline", ui::kCmdSetOffline, 0, 999, 0, 0, -1, 1000},
           Case{"unset offline", ui::kCmdSetOffline, 0, 1234, 0, 0, -1, 0},
       }) {
    words().player_request.store(0);
    words().request.store(0);
    words().request_parameter.store(-1);
    words().playing.store(c.playing);
    words().build_request.store(c.build_before);
    dispatcher_.dispatch(c.command);
    EXPECT_EQ(words().player_request.load(), c.player_request) << c.name;
    EXPECT_EQ(words().request.load(), c.request) << c.name;
    EXPECT_EQ(words().request_parameter.load(), c.parameter) << c.name;
    EXPECT_EQ(words().build_request.load(), c.build_after) << c.name;
  }
  EXPECT_EQ(actions_.calls, std::vector<std::string>{"image 12"}) << "only the play shows it";
  // Dropped while the lock is taken or a quit runs.
  for (int32_t held : {engine::kCodeListBuilder, engine::kQuitRequested, engine::kQuitFinal}) {
    words().request.store(held);
    dispatcher_.dispatch(ui::kCmdRemoveRow);
    EXPECT_EQ(words().request.load(), held);
  }
  dispatcher_.dispatch(ui::kCmdStopBuilding);
  EXPECT_EQ(words().abort.load(), 1);
}

TEST_F(CommandTest, RateIsOfferedOnlyWithTheLockFreeAndItsButtonIsPassedOn) {
  words().request.store(engine::kCodeListBuilder);
  actions_.keypad_answer = ui::rateKeypadButton(1213);  // "D"
  dispatcher_.dispatch(ui::kCmdRate);
  EXPECT_TRUE(actions_.calls.empty()) << "the lock is busy";
  words().request.store(0);
  dispatcher_.dispatch(ui::kCmdRate);
  EXPECT_EQ(words().request.load(), engine::kCodeStoreRating);
  EXPECT_EQ(words().request_parameter.load(), 13);
  words().request.store(0);
  actions_.keypad_answer = std::nullopt;  // cancelled
  dispatcher_.dispatch(ui::kCmdRate);
  EXPECT_EQ(words().request.load(), 0);
}

TEST_F(CommandTest, AViewChoiceInTheLowerLeftPutsTheCoverBackAndBadViewsAreNotStored) {
  settings().set(settings::kUpperRightView, 12);
  window_state_.cover.ready.store(1);
  window_state_.view_target_lower_left.store(1);
  dispatcher_.dispatch(ui::kCmdViewBase + 11);
  EXPECT_EQ(settings().get(settings::kLowerLeftView), 11);
  EXPECT_EQ(settings().get(settings::kUpperRightView), 1);
  EXPECT_EQ(window_state_.cover.ready.load(), 0) << "the picture is looked up again";
  for (int32_t c : {2100, 2103, 2109, 2115, 2199})
    EXPECT_EQ(dispatcher_.dispatch(c), CommandOutcome::kUnknown) << c;
  EXPECT_EQ(settings().get(settings::kLowerLeftView), 11);
}

TEST_F(CommandTest, SliderSeeksWhenNothingIsPending) {
  player_.length.store(200'000);
  EXPECT_TRUE(dispatcher_.sliderMoved(250));
  EXPECT_EQ(player_.seek_target.load(), 50'000);
  EXPECT_EQ(words().player_request.load(), 5);
  words().player_request.store(0);
  EXPECT_FALSE(dispatcher_.sliderMoved(500)) << "a seek still pending";
  player_.seek_target.store(0);
  words().player_request.store(4);
  EXPECT_FALSE(dispatcher_.sliderMoved(500)) << "another request pending";
  EXPECT_EQ(words().player_request.load(), 4);
}

// The quit as the window sees it: two closes, the supervisor's ticks, command 2031; a close in
// the quit's last phases hurries it on.
TEST_F(CommandTest, QuitWithADoubleCloseEndsInOneDestroyAndALateCloseHurriesItOn) {
  program_.attachWindow(&channel_);
  dispatcher_.closeRequested();
  EXPECT_EQ(words().request.load(), engine::kQuitRequested);
  dispatcher_.closeRequested();  // the second close while the quit waits stops a build
  EXPECT_EQ(words().abort.load(), 1);
  EXPECT_FALSE(program_.supervisor().tick()) << "66 becomes 665 and the loop ends";
  EXPECT_EQ(words().request.load(), engine::kQuitInProgress);
  program_.supervisor().finishQuit();
  ASSERT_EQ(channel_.commands(), (std::vector<int32_t>{ui::kCmdFinishQuit}));
  words().playing.store(1);
  dispatcher_.dispatch(ui::kCmdFinishQuit);
  EXPECT_EQ(words().player_request.load(), 3);
  EXPECT_EQ(actions_.calls, (std::vector<std::string>{"destroy"}));

  // A close in the quit's last phases hurries it on.
  words().request.store(engine::kQuitInProgress);
  dispatcher_.closeRequested();
  EXPECT_EQ(words().request.load(), engine::kQuitFinal);
  EXPECT_EQ(channel_.commands().size(), 1u);
  dispatcher_.closeRequested();
  EXPECT_EQ(channel_.commands(), (std::vector<int32_t>{ui::kCmdFinishQuit, ui::kCmdFinishQuit}));
  program_.attachWindow(nullptr);
}

}  // namespace
}  // namespace tunora::testing

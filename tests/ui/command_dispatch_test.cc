// The command table: each command's effect on the shared words, the lock's requests, the
// settings and the window.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/lock_codes.h"
#include "tests/ui/ui_fixture.h"
#include "ui/command_numbers.h"
#include "ui/rate_keypad.h"

namespace tunora::testing {
namespace {

using ui::CommandOutcome;

class CommandTest : public UiTest {
 protected:
  void addRows(int n) {
    for (int i = 0; i < n; ++i) {
      const std::string number = std::to_string(i);
      program_.playList().append({std::string("T").append(number),
                                  std::string("Artist").append(number), "Al",
                                  std::string("/m/").append(number).append(".mp3"), "mp3"});
    }
  }
  bool called(const std::string& call) const {
    return std::find(actions_.calls.begin(), actions_.calls.end(), call) != actions_.calls.end();
  }
};

TEST_F(CommandTest, PlayWithAnEmptyListAsksForABuildOnlyWhenIdleOrCountingOffline) {
  struct Case {
    int32_t before;
    int32_t after;
  };
  for (Case c : {Case{0, 10}, Case{1, 1}, Case{2, 2}, Case{10, 10}, Case{1000, 1000},
                 Case{1001, 10}, Case{1600, 10}, Case{1999, 1999}}) {
    words().build_request.store(c.before);
    words().player_request.store(0);
    EXPECT_EQ(dispatcher_.dispatch(ui::kCmdPlay), CommandOutcome::kHandled);
    EXPECT_EQ(words().build_request.load(), c.after) << "build word " << c.before;
    EXPECT_EQ(words().player_request.load(), 1);
  }
  EXPECT_TRUE(called("image 12"));
  EXPECT_FALSE(called("minimize"));
  // Songs prepared: the builder is left alone; Auto Mini minimizes.
  addRows(3);
  settings().set(settings::kAutoMini, 1);
  words().build_request.store(0);
  dispatcher_.dispatch(ui::kCmdPlay);
  EXPECT_EQ(words().build_request.load(), 0);
  EXPECT_TRUE(called("minimize"));
}

// What each command asks of the player, the executor, the builder and the window, by table.
TEST_F(CommandTest, CommandsSetTheirRequestWords) {
  addRows(4);
  struct Case {
    const char* name;
    int32_t command, playing, build_before;
    int32_t player_request, request, parameter, build_after;
  };
  for (const Case& c : {
           Case{"play pauses", ui::kCmdPlay, 1, 0, 2, 0, -1, 0},
           Case{"stop", ui::kCmdStop, 0, 0, 3, 0, -1, 0},
           Case{"restart", ui::kCmdRestart, 0, 0, 7, 0, -1, 0},
           Case{"play last", ui::kCmdPlayLast, 0, 0, 8, 0, -1, 0},
           Case{"play back", ui::kCmdPlayBack, 0, 0, 8, 0, -1, 0},
           Case{"skip while silent", ui::kCmdSkip, 0, 0, 0, 0, -1, 0},
           Case{"skip", ui::kCmdSkip, 1, 0, 4, 0, -1, 0},
           Case{"remove", ui::kCmdRemoveRow, 0, 0, 0, engine::kCodeRemoveRow, 0, 0},
           Case{"save", ui::kCmdSaveAsPlaylist, 0, 0, 0, engine::kCodeSaveAsPlaylist, 0, 0},
           Case{"play now", ui::kCmdPlayNow, 0, 0, 0, engine::kCodePlayRowNow, 0, 0},
           Case{"play next", ui::kCmdPlayNext, 0, 0, 0, engine::kCodeMoveRowToTop, 0, 0},
           Case{"details", ui::kCmdRowDetails, 0, 0, 0, engine::kCodeOpenDetailsOfRow, 0, 0},
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
  EXPECT_TRUE(actions_.calls.empty());
  // Dropped while the lock is taken or a quit runs.
  for (int32_t held : {engine::kCodeListBuilder, engine::kQuitRequested, engine::kQuitFinal}) {
    words().request.store(held);
    dispatcher_.dispatch(ui::kCmdRemoveRow);
    EXPECT_EQ(words().request.load(), held);
  }
  dispatcher_.dispatch(ui::kCmdStopBuilding);
  EXPECT_EQ(words().abort.load(), 1);
  dispatcher_.dispatch(ui::kCmdRefreshNetworkCache);
  EXPECT_EQ(program_.context().network_refresh_counter.load(), 100);
}

TEST_F(CommandTest, RateIsOfferedOnlyWithTheLockFreeAndOnline) {
  // The lock is busy: nothing at all.
  words().request.store(engine::kCodeListBuilder);
  actions_.keypad_answer = 7;
  dispatcher_.dispatch(ui::kCmdRate);
  EXPECT_TRUE(actions_.calls.empty());
  EXPECT_TRUE(dialog_.requests().empty());

  // Online: the keypad, then request 2 with the button.
  words().request.store(0);
  dispatcher_.dispatch(ui::kCmdRate);
  EXPECT_TRUE(called("keypad"));
  EXPECT_EQ(words().request.load(), engine::kCodeStoreRating);
  EXPECT_EQ(words().request_parameter.load(), 7);

  // Cancel: no request.
  words().request.store(0);
  actions_.keypad_answer = std::nullopt;
  dispatcher_.dispatch(ui::kCmdRate);
  EXPECT_EQ(words().request.load(), 0);

  // The keypad's "D" and "7" buttons are passed on as 13 and 7.
  for (auto [button, parameter] : {std::pair{1213, 13}, std::pair{1207, 7}}) {
    words().request.store(0);
    actions_.keypad_answer = ui::rateKeypadButton(button);
    dispatcher_.dispatch(ui::kCmdRate);
    EXPECT_EQ(words().request_parameter.load(), parameter) << button;
  }
}

TEST_F(CommandTest, SearchesAndDialogsOpenOneWindowAtATime) {
  player::SongDetails details;
  details.artist = "Nina";
  player_.setCurrent(details);
  addRows(3);
  actions_.focused_row = 2;
  dispatcher_.dispatch(ui::kCmdSearch);
  dispatcher_.dispatch(ui::kCmdArtistOfSong);
  dispatcher_.dispatch(ui::kCmdArtistOfRow);
  dispatcher_.dispatch(ui::kCmdTopSongs);
  dispatcher_.dispatch(ui::kCmdWorstSongs);
  dispatcher_.dispatch(ui::kCmdDatabaseDialog);
  dispatcher_.dispatch(ui::kCmdOptions);
  dispatcher_.dispatch(ui::kCmdAboutToo);
  dispatcher_.dispatch(ui::kCmdHelp);
  EXPECT_EQ(actions_.calls,
            (std::vector<std::string>{"search 0 ", "search 1 Nina", "search 1 Artist2", "search 2 ",
                                      "search 3 ", "database", "options", "about"}));
  EXPECT_EQ(dialog_.readMeOpenings(), 1);
  actions_.calls.clear();
  actions_.open_dialogs = {ui::WindowDialog::kSearch, ui::WindowDialog::kDatabase,
                           ui::WindowDialog::kAbout};
  for (int32_t c : {ui::kCmdSearch, ui::kCmdArtistOfRow, ui::kCmdDatabaseDialog, ui::kCmdAbout})
    dispatcher_.dispatch(c);
  EXPECT_TRUE(actions_.calls.empty());
}

TEST_F(CommandTest, ViewMenuChoicesGoToTheirTargetView) {
  settings().set(settings::kUpperRightView, 1);
  settings().set(settings::kLowerLeftView, 0);
  window_state_.cover.ready.store(1);
  window_state_.quick_links.setList({});

  window_state_.view_target_lower_left.store(0);
  dispatcher_.dispatch(ui::kCmdViewBase + 2);  // Disc
  EXPECT_EQ(settings().get(settings::kUpperRightView), 2);
  EXPECT_EQ(window_state_.cover.ready.load(), 0) << "the picture is looked up again";
  EXPECT_FALSE(window_state_.quick_links.loaded());

  dispatcher_.dispatch(ui::kCmdViewBase + 12);  // same name, upper right
  EXPECT_EQ(settings().get(settings::kUpperRightView), 12);

  // A list in the lower left puts the cover back in the upper right.
  window_state_.view_target_lower_left.store(1);
  dispatcher_.dispatch(ui::kCmdViewBase + 11);
  EXPECT_EQ(settings().get(settings::kLowerLeftView), 11);
  EXPECT_EQ(settings().get(settings::kUpperRightView), 1);

  dispatcher_.dispatch(ui::kCmdLowerLeftNothing);
  EXPECT_EQ(settings().get(settings::kLowerLeftView), 0);
  EXPECT_TRUE(called("repaint"));

  // Values that name no view are not stored.
  for (int32_t c : {2100, 2103, 2109, 2115, 2199}) {
    EXPECT_EQ(dispatcher_.dispatch(c), CommandOutcome::kUnknown) << c;
  }
  EXPECT_EQ(settings().get(settings::kUpperRightView), 1);
}

TEST_F(CommandTest, SliderSeeksWhenNothingIsPending) {
  player_.length.store(200'000);
  EXPECT_TRUE(dispatcher_.sliderMoved(250));
  EXPECT_EQ(player_.seek_target.load(), 50'000);
  EXPECT_EQ(words().player_request.load(), 5);
  // A seek still pending: the next move is ignored.
  words().player_request.store(0);
  EXPECT_FALSE(dispatcher_.sliderMoved(500));
  EXPECT_EQ(player_.seek_target.load(), 50'000);
  // Another request pending: ignored too.
  player_.seek_target.store(0);
  words().player_request.store(4);
  EXPECT_FALSE(dispatcher_.sliderMoved(500));
  EXPECT_EQ(words().player_request.load(), 4);
  words().player_request.store(0);
  EXPECT_TRUE(dispatcher_.sliderMoved(1000));
  EXPECT_EQ(player_.seek_target.load(), 200'000);
}

// The quit as the window sees it: two closes, the supervisor's ticks, command 2031.
TEST_F(CommandTest, QuitWithADoubleCloseEndsInOneDestroy) {
  program_.attachWindow(&channel_);
  dispatcher_.closeRequested();
  EXPECT_EQ(words().request.load(), engine::kQuitRequested);
  dispatcher_.closeRequested();  // the second close while the quit waits stops a build
  EXPECT_EQ(words().abort.load(), 1);
  EXPECT_EQ(words().request.load(), engine::kQuitRequested);

  EXPECT_FALSE(program_.supervisor().tick()) << "66 becomes 665 and the loop ends";
  EXPECT_EQ(words().request.load(), engine::kQuitInProgress);
  program_.supervisor().finishQuit();
  EXPECT_EQ(words().request.load(), engine::kQuitFinal);
  ASSERT_EQ(channel_.commands(), (std::vector<int32_t>{ui::kCmdFinishQuit}));

  words().playing.store(1);
  dispatcher_.dispatch(ui::kCmdFinishQuit);
  EXPECT_EQ(words().player_request.load(), 3);
  EXPECT_EQ(actions_.calls, (std::vector<std::string>{"destroy"}));
  program_.attachWindow(nullptr);
}

TEST_F(CommandTest, ACloseDuringTheQuitsLastPhasesHurriesItOn) {
  words().request.store(engine::kQuitInProgress);
  dispatcher_.closeRequested();
  EXPECT_EQ(words().request.load(), engine::kQuitFinal);
  EXPECT_TRUE(channel_.commands().empty());
  dispatcher_.closeRequested();
  EXPECT_EQ(channel_.commands(), (std::vector<int32_t>{ui::kCmdFinishQuit}));
  EXPECT_GE(program_.status().refreshCount(), 2);
}

}  // namespace
}  // namespace tunora::testing

// The player thread over the fake media window: songs in turn with their start and end points,
// pause, resume and stop, the back stack, skip and end with auto-rate, a file that does not
// open, video and full screen, and requests held while too few songs are prepared.
#include <gtest/gtest.h>

#include <algorithm>

#include "player/back_stack.h"
#include "tests/player/player_fixture.h"

namespace tunora::player {
namespace {

using tunora::testing::PlayerTest;

bool called(const std::vector<std::string>& calls, const std::string& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST_F(PlayerTest, PlaysFromTheStartPointAndMovesOnAtTheEndPointRaisingTheScore) {
  setFrames(1, 1000, 30000);  // the file is 10 minutes long
  listSongs({songPath(1), songPath(2), songPath(3)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  const uint64_t started = env_.nowMillis();
  EXPECT_TRUE(called(media_.calls(), "playFrom 1000"));
  EXPECT_EQ(program_.playList().size(), 2);
  EXPECT_EQ(window_.text_repaints.load(), 1);
  EXPECT_FALSE(media_.visible());

  // The slider follows the position against the end point, not the file's length.
  // (Against the file's 600 s the slider would stand near 33 at 20 s.)
  ASSERT_TRUE(until([&] { return window_.slider.load() >= 666; }));
  ASSERT_TRUE(untilPlaying(songPath(2)));
  // 29 s of the song (from 1 s to 30 s), then the switch, long before the file's end (600 s).
  // The clock keeps moving while the player thread waits to be scheduled, so the upper bound is
  // the file's end, which the end point must beat.
  const uint64_t played = env_.nowMillis() - started;
  EXPECT_GE(played, 29000u);
  EXPECT_LT(played, 600000u);
  EXPECT_EQ(program_.playList().size(), 1);
  EXPECT_EQ(backStackTop(program_.settings()), 1);
  auto updates = takeUpdates();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].slot, 1);
  EXPECT_EQ(updates[0].new_value, 80u);  // 64 + 64 / 4
  EXPECT_EQ(updates[0].key, 101u);
}

TEST_F(PlayerTest, PauseResumesWhereItStoppedAndStopStartsTheNextSong) {
  listSongs({songPath(1), songPath(2), songPath(3), songPath(4)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  ASSERT_TRUE(until([&] { return player_->state().position.load() >= 5000; }));
  request(kRequestPause);
  ASSERT_TRUE(until([&] { return window_.button_image.load() == kPlayImage; }));
  const int64_t paused_at = player_->state().resume_position.load();
  EXPECT_GE(paused_at, 5000);
  EXPECT_EQ(program_.words().playing.load(), 0);
  EXPECT_EQ(window_.button_image.load(), kPlayImage);

  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  EXPECT_TRUE(called(media_.calls(), "playFrom " + std::to_string(paused_at)));
  EXPECT_EQ(program_.playList().size(), 3);  // no row taken for a resume
  EXPECT_EQ(player_->state().resume_position.load(), 0);

  request(kRequestStop);
  ASSERT_TRUE(until([&] { return !media_.isOpen(); }));
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(2)));

  // Pause, then stop: the stop keeps the paused place, so Play resumes song 2.
  ASSERT_TRUE(until([&] { return player_->state().position.load() >= 2000; }));
  request(kRequestPause);
  ASSERT_TRUE(until([&] { return !media_.isOpen(); }));
  const int64_t second_pause = player_->state().resume_position.load();
  request(kRequestStop);
  ASSERT_TRUE(until([&] { return program_.words().player_request.load() == 0; }));
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  EXPECT_TRUE(called(media_.calls(), "playFrom " + std::to_string(second_pause)));
  EXPECT_TRUE(takeUpdates().empty());  // neither pausing nor stopping rates
}

TEST_F(PlayerTest, BackTwicePlaysTheSecondThenTheFirstSongWithoutTakingRows) {
  program_.settings().set(settings::kAutoRate, 0);
  listSongs({songPath(1), songPath(2), songPath(3), songPath(4), songPath(5)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  request(kRequestSkip);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  request(kRequestSkip);
  ASSERT_TRUE(untilPlaying(songPath(3)));
  EXPECT_EQ(program_.playList().size(), 2);

  request(kRequestBack);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  EXPECT_EQ(player_->state().current().slot, 2);
  request(kRequestBack);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  EXPECT_EQ(backStackTop(program_.settings()), -1);
  EXPECT_EQ(program_.playList().size(), 2);

  // With the stack empty, Back plays the list top and leaves its row.
  request(kRequestBack);
  ASSERT_TRUE(untilPlaying(songPath(4)));
  EXPECT_EQ(program_.playList().size(), 2);
  EXPECT_TRUE(takeUpdates().empty());  // "Auto Rate" off
}

TEST_F(PlayerTest, SkipLowersTheScoreFirstAndAFileThatDoesNotOpenGainsNothing) {
  setPath(3, dir_.file("missing.wav"));
  media_.setLength(songPath(2), 3000);
  listSongs({songPath(1), songPath(2), dir_.file("missing.wav"), songPath(4), songPath(5)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  request(kRequestSkip);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  auto updates = takeUpdates();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].slot, 1);
  EXPECT_EQ(updates[0].new_value, 48u);  // 64 - 64 / 4

  // Song 2 ends; the missing file "plays" with length 0 and is left at once, unrated.
  ASSERT_TRUE(untilPlaying(songPath(4)));
  EXPECT_TRUE(called(media_.calls(), "open-failed " + dir_.file("missing.wav")));
  updates = takeUpdates();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].slot, 2);
  EXPECT_EQ(updates[0].new_value, 80u);
}

TEST_F(PlayerTest, ASongWithAnEndPointIsRatedWhenItsMediaReportsNoLength) {
  setFrames(1, 0, 3000);
  media_.setLength(songPath(1), 0);  // opens, but its length is unknown
  listSongs({songPath(1), songPath(2), songPath(3)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  EXPECT_EQ(player_->state().length.load(), 3000);
  request(kRequestSkip);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  auto updates = takeUpdates();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].slot, 1);
  EXPECT_EQ(updates[0].new_value, 48u);
}

TEST_F(PlayerTest, ThePlayersOwnDetailsLoadIgnoresTheBusyLoaderReadingAhead) {
  listSongs({songPath(1), songPath(2), songPath(3)});
  player_ = &program_.createPlayer(media_, window_);
  DetailsLoader& loader = player_->detailsLoader();
  // The loader reading ahead waits for its grant, which nobody hands over here.
  tunora::testing::EnvThread ahead(env_, [&] { (void)loader.loadSongDetails(false); });
  ASSERT_TRUE(until([&] { return program_.words().request.load() == engine::kCodeDetailsLoader; }));
  ASSERT_TRUE(loader.busy());
  EXPECT_EQ(loader.loadSongDetails(false), -1);  // a second read-ahead is refused
  // The player's switch still gets the song it is about to play.
  player_->state().setPlayPath(songPath(4));
  EXPECT_EQ(loader.loadSongDetails(true), 1);
  EXPECT_EQ(player_->state().current().slot, 4);
  ASSERT_TRUE(ahead.join(std::chrono::milliseconds(10)));  // gives up after its 50 waits
  EXPECT_FALSE(loader.busy());
}

TEST_F(PlayerTest, VideoIsShownFullScreenWithFullMovieAndRestartSendsItThereAgain) {
  const std::string video = dir_.file("clip.avi");
  setPath(1, video);
  setFrames(1, 4000, 0);
  media_.setLength(video, tunora::testing::kSongLength);
  program_.settings().set(settings::kFullMovie, 1);
  listSongs({video, songPath(2), songPath(3)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(video));
  EXPECT_TRUE(media_.visible());
  EXPECT_EQ(player_->state().video_shown.load(), 1);
  EXPECT_EQ(window_.video_repaints.load(), 1);
  auto calls = media_.calls();
  EXPECT_TRUE(called(calls, "fullscreen"));
  EXPECT_FALSE(called(calls, "playFrom 4000"));  // the start point is ignored
  EXPECT_TRUE(called(calls, "move 9999 9999 500 300"));  // half of the 1000 x 600 client area

  // Restart: full screen again, from the song's start point.
  media_.clearCalls();
  request(kRequestRestart);
  ASSERT_TRUE(until([&] { return called(media_.calls(), "playFrom 4000"); }));
  EXPECT_EQ(media_.calls(), (std::vector<std::string>{"fullscreen", "playFrom 4000"}));
  EXPECT_GE(media_.position(), 4000);
  request(kRequestMoveVideo);
  ASSERT_TRUE(until([&] { return called(media_.calls(), "move 500 30 500 300"); }));
}

TEST_F(PlayerTest, RequestsWaitUntilTwoSongsArePrepared) {
  listSongs({songPath(1)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(testing::driveFor(env_, std::chrono::seconds(5), std::chrono::milliseconds(10)));
  EXPECT_EQ(program_.words().player_request.load(), kRequestPlay);
  EXPECT_FALSE(media_.isOpen());
  listSongs({songPath(2)});
  ASSERT_TRUE(untilPlaying(songPath(1)));
}

}  // namespace
}  // namespace tunora::player

// The player thread over the fake media window: songs in turn with their start and end points,
// pause, resume and stop, the back stack, skip and end with auto-rate, a file that does not
// open, video and full screen, and requests held while too few songs are prepared; the switch at
// the media's end without a poll's wait, and files that do not open passed over at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "engine/quit_request.h"
#include "player/back_stack.h"
#include "tests/player/player_fixture.h"

namespace tunora::player {
namespace {

using tunora::testing::PlayerTest;

bool called(const std::vector<std::string>& calls, const std::string& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// Score updates as "slot:new value" (of user 0's score 64: 48 skipped, 80 played).
std::vector<std::string> rated(const std::vector<engine::QueuedUpdate>& updates) {
  std::vector<std::string> out;
  for (const auto& u : updates) {
    out.push_back(std::to_string(u.slot) + ":" + std::to_string(u.new_value));
  }
  return out;
}
using Rated = std::vector<std::string>;

TEST_F(PlayerTest, PlaysFromTheStartPointAndMovesOnAtTheEndPointRaisingTheScore) {
  setFrames(1, 1000, 30000);  // the file is 10 minutes long
  listSongs({songPath(1), songPath(2), songPath(3)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  const uint64_t started = env_.nowMillis();
  EXPECT_TRUE(called(media_.calls(), "playFrom 1000"));
  EXPECT_EQ(program().playList().size(), 2);
  EXPECT_EQ(window().text_repaints.load(), 1);
  EXPECT_FALSE(media_.visible());

  // The slider follows the position against the end point, not the file's length.
  // (Against the file's 600 s the slider would stand near 33 at 20 s.)
  ASSERT_TRUE(until([&] { return window().slider.load() >= 666; }));
  ASSERT_TRUE(untilPlaying(songPath(2)));
  // 29 s of the song (from 1 s to 30 s), then the switch, long before the file's end (600 s).
  // The clock keeps moving while the player thread waits to be scheduled, so the upper bound is
  // the file's end, which the end point must beat.
  const uint64_t played = env_.nowMillis() - started;
  EXPECT_GE(played, 29000u);
  EXPECT_LT(played, 600000u);
  EXPECT_EQ(program().playList().size(), 1);
  EXPECT_EQ(backStackTop(program().settings()), 1);
  const auto updates = takeUpdates();
  EXPECT_EQ(rated(updates), Rated{"1:80"});  // 64 + 64 / 4
  EXPECT_EQ(updates.empty() ? 0 : updates[0].key, 101u);
}

TEST_F(PlayerTest, PauseResumesWhereItStoppedAndStopStartsTheNextSong) {
  listSongs({songPath(1), songPath(2), songPath(3), songPath(4)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  ASSERT_TRUE(until([&] { return player_->state().position.load() >= 5000; }));
  request(kRequestPause);
  ASSERT_TRUE(until([&] { return window().button_image.load() == kPlayImage; }));
  const int64_t paused_at = player_->state().resume_position.load();
  EXPECT_GE(paused_at, 5000);
  EXPECT_EQ(program().words().playing.load(), 0);
  EXPECT_EQ(window().button_image.load(), kPlayImage);

  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  EXPECT_TRUE(called(media_.calls(), "playFrom " + std::to_string(paused_at)));
  EXPECT_EQ(program().playList().size(), 3);  // no row taken for a resume
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
  ASSERT_TRUE(until([&] { return program().words().player_request.load() == 0; }));
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  EXPECT_TRUE(called(media_.calls(), "playFrom " + std::to_string(second_pause)));
  EXPECT_TRUE(takeUpdates().empty());  // neither pausing nor stopping rates
}

TEST_F(PlayerTest, BackTwicePlaysTheSecondThenTheFirstSongWithoutTakingRows) {
  program().settings().set(settings::kAutoRate, 0);
  listSongs({songPath(1), songPath(2), songPath(3), songPath(4), songPath(5)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  request(kRequestSkip);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  request(kRequestSkip);
  ASSERT_TRUE(untilPlaying(songPath(3)));
  EXPECT_EQ(program().playList().size(), 2);

  request(kRequestBack);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  EXPECT_EQ(player_->state().current().slot, 2);
  request(kRequestBack);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  EXPECT_EQ(backStackTop(program().settings()), -1);
  EXPECT_EQ(program().playList().size(), 2);

  // With the stack empty, Back plays the list top and leaves its row.
  request(kRequestBack);
  ASSERT_TRUE(untilPlaying(songPath(4)));
  EXPECT_EQ(program().playList().size(), 2);
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
  EXPECT_EQ(rated(takeUpdates()), Rated{"1:48"});  // 64 - 64 / 4

  // Song 2 ends; the missing file "plays" with length 0 and is left at once, unrated.
  ASSERT_TRUE(untilPlaying(songPath(4)));
  EXPECT_TRUE(called(media_.calls(), "open-failed " + dir_.file("missing.wav")));
  EXPECT_EQ(rated(takeUpdates()), Rated{"2:80"});
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
  EXPECT_EQ(rated(takeUpdates()), Rated{"1:48"});
}

TEST_F(PlayerTest, ThePlayersOwnDetailsLoadIgnoresTheBusyLoaderReadingAhead) {
  listSongs({songPath(1), songPath(2), songPath(3)});
  DetailsLoader& loader = player_->detailsLoader();
  // The loader reading ahead waits for its grant, which nobody hands over here.
  tunora::testing::EnvThread ahead(env_, [&] { (void)loader.loadSongDetails(false); });
  ASSERT_TRUE(
      until([&] { return program().words().request.load() == engine::kCodeDetailsLoader; }));
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
  program().settings().set(settings::kFullMovie, 1);
  listSongs({video, songPath(2), songPath(3)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(video));
  EXPECT_TRUE(media_.visible());
  EXPECT_EQ(player_->state().video_shown.load(), 1);
  EXPECT_EQ(window().video_repaints.load(), 1);
  auto calls = media_.calls();
  EXPECT_TRUE(called(calls, "fullscreen"));
  EXPECT_FALSE(called(calls, "playFrom 4000"));          // the start point is ignored
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
  EXPECT_EQ(program().words().player_request.load(), kRequestPlay);
  EXPECT_FALSE(media_.isOpen());
  listSongs({songPath(2)});
  ASSERT_TRUE(untilPlaying(songPath(1)));
}

TEST_F(PlayerTest, TheNextSongStartsAtTheMediaEndWithoutWaitingForAPoll) {
  media_.setLength(songPath(1), 3250);
  media_.setLength(songPath(2), 2100);
  setFrames(2, 0, 5000);  // an end point after the file's real end: the media's end counts
  listSongs({songPath(1), songPath(2), songPath(3), songPath(4)});
  request(kRequestPlay);
  stepTo(songPath(1), 1);
  ASSERT_EQ(media_.openPath(), songPath(1));

  uint64_t started = env_.nowMillis();
  auto sleeps = stepTo(songPath(2));
  ASSERT_EQ(media_.openPath(), songPath(2));
  // Exactly at the end: polls every 500 ms would have noticed it at 3500 and switched at 4000.
  EXPECT_EQ(env_.nowMillis() - started, 3250u);
  ASSERT_GE(sleeps.size(), 2u);
  EXPECT_EQ(sleeps[sleeps.size() - 2], 0);  // the switch followed the poll that found the end
  EXPECT_TRUE(std::all_of(sleeps.begin(), sleeps.end(), [](int64_t s) { return s <= 500; }));
  // Song 2 was handed to the media window to get ready before song 1 ended.
  const auto calls = media_.calls();
  const auto prepared = std::find(calls.begin(), calls.end(), "prepare " + songPath(2));
  EXPECT_LT(prepared, std::find(calls.begin(), calls.end(), "open " + songPath(2)));

  // Song 2's end point (5 s) lies past its file's end (2.1 s): the media window's end moves on.
  started = env_.nowMillis();
  stepTo(songPath(3));
  ASSERT_EQ(media_.openPath(), songPath(3));
  EXPECT_EQ(env_.nowMillis() - started, 2100u);
  // Every effect of a switch: rows taken, both songs rated up and remembered.
  EXPECT_EQ(program().playList().size(), 1);
  EXPECT_EQ(backStackTop(program().settings()), 2);
  EXPECT_EQ(player_->state().current().slot, 3);
  EXPECT_EQ(takeUpdates().size(), 2u);
}

// An MP3 without a header that gives its length opens with no length: that is not its end. It
// plays until the media window learns the length and the position reaches it, or until the
// media ends without ever saying its length; either way it is rated as played to its end once.
TEST_F(PlayerTest, ASongWhoseLengthIsUnknownAtFirstPlaysToItsRealEnd) {
  struct Case {
    int64_t real_length;
    int64_t learned_at;  // -1: never
  };
  const Case cases[] = {{5000, 2000}, {4000, -1}};
  for (int i = 0; i < 2; ++i) {
    media_.setLateLength(songPath(i + 1), cases[i].real_length, cases[i].learned_at);
  }
  listSongs({songPath(1), songPath(2), songPath(3), songPath(4)});
  request(kRequestPlay);
  stepTo(songPath(1), 1);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const Case c = cases[i];
    ASSERT_EQ(media_.openPath(), songPath(i + 1));
    EXPECT_EQ(player_->state().length.load(), 0);
    const uint64_t started = env_.nowMillis();
    stepUntil([&] { return env_.nowMillis() - started >= 1500; });
    EXPECT_EQ(media_.openPath(), songPath(i + 1)) << "left at " << env_.nowMillis() - started;
    EXPECT_TRUE(takeUpdates().empty());
    stepUntil([&] { return media_.openPath() != songPath(i + 1); });
    EXPECT_EQ(media_.openPath(), songPath(i + 2));
    EXPECT_GE(env_.nowMillis() - started, static_cast<uint64_t>(c.real_length));
    EXPECT_LE(env_.nowMillis() - started, static_cast<uint64_t>(c.real_length) + 500);
    EXPECT_EQ(rated(takeUpdates()), Rated{std::to_string(i + 1) + ":80"});  // played to its end
  }
}

TEST_F(PlayerTest, ASongOfUnknownLengthIsLearnedForTheSliderAndRatedAsSkippedWhenSkipped) {
  media_.setLateLength(songPath(1), 8000, 1000);
  listSongs({songPath(1), songPath(2), songPath(3)});
  request(kRequestPlay);
  stepTo(songPath(1), 1);
  const uint64_t started = env_.nowMillis();
  stepUntil([&] { return env_.nowMillis() - started >= 4000; });
  EXPECT_EQ(player_->state().length.load(), 8000);
  EXPECT_GE(window().slider.load(), 400);  // about half of the song, at the last poll
  request(kRequestSkip);
  stepTo(songPath(2), 2);
  ASSERT_EQ(media_.openPath(), songPath(2));
  EXPECT_EQ(rated(takeUpdates()), Rated{"1:48"});
}

// A library that cannot be read (here: a file that is no table) makes the details lookup try
// again every 5 s; a quit asked for meanwhile still ends within 3 s.
TEST_F(PlayerTest, AQuitEndsWithinThreeSecondsWhileTheLibraryCannotBeRead) {
  tunora::testing::writeBytes(path_, std::vector<uint8_t>(64, 0x5A));
  listSongs({songPath(1), songPath(2), songPath(3)});
  start();
  const uint64_t begun = env_.nowMillis();
  request(kRequestPlay);
  // The switch waits in the lookup's tries (the fourth comes after 5 s), holding its grant.
  ASSERT_TRUE(until([&] { return env_.nowMillis() - begun >= 7000; }));
  EXPECT_EQ(program().words().grant.load(), engine::kCodePlayer);
  const uint64_t asked = env_.nowMillis();
  engine::handleCloseRequest(program().lock(), run_->commands(), program().status());
  ASSERT_TRUE(until([&] { return run_->commands().received(engine::kCommandFinishQuit); }));
  EXPECT_LT(env_.nowMillis() - asked, 3000u);
}

// A library whose file is gone is not waited for: the next song starts at once, without its
// details, and the status bar says why; a library that is back clears it at the next song.
TEST_F(PlayerTest, ASongChangeAfterTheLibraryWentMissingIsNotDelayedAndSaysSo) {
  const std::string moved = path_ + ".moved";
  std::filesystem::rename(path_, moved);
  listSongs({songPath(1), songPath(2), songPath(3)});  // too few for the loader reading ahead
  start();
  const uint64_t asked = env_.nowMillis();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  EXPECT_LE(env_.nowMillis() - asked, 1500u);  // the player's idle sleep (1 s) at most
  EXPECT_EQ(player_->state().current().slot, -1);
  EXPECT_EQ(program().words().library_missing.load(), 1);
  EXPECT_GE(window().status_refreshes.load(), 1);

  std::filesystem::rename(moved, path_);
  request(kRequestSkip);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  EXPECT_EQ(player_->state().current().slot, 2);
  EXPECT_EQ(program().words().library_missing.load(), 0);
}

// The desktop's media controls: the volume they set reaches the media window (and every song
// after), and the playing file's tag gives the track number and the genre; the media window's
// output problem is kept for the status while it lasts.
TEST_F(PlayerTest, TheVolumeTheTagAndTheOutputProblemReachTheirReaders) {
  // An ID3v2.3 tag of 30 bytes: "TRCK" "4/12" and "TCON" "(8)", each a Latin-1 text frame.
  std::vector<uint8_t> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0,   0,   30,  'T', 'R', 'C', 'K',
                                 0,   0,   0,   5, 0, 0, 0, '4', '/', '1', '2', 'T', 'C', 'O',
                                 'N', 0,   0,   0, 5, 0, 0, 0,   '(', '8', ')', 0};
  tagged.resize(tagged.size() + 200, 0xFF);
  tunora::testing::writeBytes(songPath(1), tagged);
  media_.setOutputProblem("No usable audio output");
  listSongs({songPath(1), songPath(2), songPath(3)});
  request(kRequestPlay);
  stepTo(songPath(1), 1);
  ASSERT_EQ(media_.openPath(), songPath(1));
  EXPECT_EQ(player_->state().outputProblem(), "No usable audio output");  // for the status
  media_.setOutputProblem("");
  SongTags tags = player_->state().tags();
  EXPECT_EQ(tags.path, songPath(1));
  EXPECT_EQ(tags.track_number, 4);
  EXPECT_EQ(tags.genre, "Jazz");

  player_->state().volume.store(0.5);
  (void)player_->step();
  (void)player_->step();
  request(kRequestSkip);
  stepTo(songPath(2), 2);
  const auto calls = media_.calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "volume 500"), 1);  // given once, kept
  tags = player_->state().tags();
  EXPECT_EQ(tags.path, songPath(2));  // no file, no tag
  EXPECT_EQ(tags.track_number, 0);
  EXPECT_EQ(tags.genre, "");
  EXPECT_EQ(player_->state().outputProblem(), "");
}

TEST_F(PlayerTest, FilesThatDoNotOpenArePassedOverAtOnceAndNotRemembered) {
  // Three songs of the library whose files are gone, and seven paths the library does not know.
  std::vector<std::string> rows;
  for (int i = 5; i < 8; ++i) {
    setPath(i, dir_.file("gone" + std::to_string(i) + ".wav"));
    rows.push_back(dir_.file("gone" + std::to_string(i) + ".wav"));
  }
  for (int i = 0; i < 7; ++i) rows.push_back(dir_.file("unknown" + std::to_string(i) + ".wav"));
  rows.push_back(songPath(1));
  rows.push_back(songPath(2));
  rows.push_back(songPath(3));
  listSongs(rows);
  request(kRequestPlay);
  const uint64_t started = env_.nowMillis();
  auto sleeps = stepTo(songPath(1), 30);
  ASSERT_EQ(media_.openPath(), songPath(1));
  EXPECT_EQ(env_.nowMillis(), started);  // no sleep at all on the way
  EXPECT_EQ(program().playList().size(), 2);
  EXPECT_TRUE(takeUpdates().empty());  // nothing that did not play is rated

  // Back from song 2 goes to song 1, and from there to nothing older: the songs that did not
  // open were not remembered.
  request(kRequestSkip);
  stepTo(songPath(2), 5);
  ASSERT_EQ(media_.openPath(), songPath(2));
  EXPECT_EQ(backStackTop(program().settings()), 1);
  EXPECT_EQ(program().settings().get(settings::kBackStack, 1), -1);
}

TEST_F(PlayerTest, WhileAWorkerHoldsTheLockTheNextSongStartsAndTheSwitchEndsAfterIt) {
  program().settings().set(settings::kAutoRate, 0);
  setFrames(2, 1500, 0);
  listSongs({songPath(1), songPath(2), songPath(3), songPath(4), songPath(5)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  // The supervisor's loader reads song 2's details ahead; then a worker takes the lock.
  ASSERT_TRUE(until([&] {
    const NextSong next = player_->state().next();
    return next.valid && next.path == songPath(2);
  }));
  engine::Grant held;
  ASSERT_TRUE(until([&] {
    held = program().lock().takeGrantDirectly(engine::kCodeChecksumPass);
    return static_cast<bool>(held);
  }));

  // A skip: song 2 plays from its start point while the switch waits for the lock.
  request(kRequestSkip);
  ASSERT_TRUE(until([&] { return media_.openPath() == songPath(2); }));
  EXPECT_TRUE(called(media_.calls(), "playFrom 1500"));
  EXPECT_EQ(player_->state().position.load(), -1);  // the switch is not over
  EXPECT_EQ(program().playList().size(), 4);        // nor its row taken

  held.release();
  ASSERT_TRUE(untilPlaying(songPath(2)));
  EXPECT_EQ(program().playList().size(), 3);
  EXPECT_EQ(backStackTop(program().settings()), 1);
  EXPECT_EQ(player_->state().current().slot, 2);
  EXPECT_EQ(player_->state().length.load(), tunora::testing::kSongLength);
  const auto calls = media_.calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "open " + songPath(2)), 1);  // not reopened
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "playFrom 1500"), 1);
}

// A song that ended while the next one cannot follow yet (too few songs prepared) is rated as
// played to its end once, however many polls see its end.
TEST_F(PlayerTest, ASongThatEndedIsRatedOnceWhileTheNextWaitsToBePrepared) {
  media_.setLength(songPath(1), 3000);
  listSongs({songPath(1), songPath(2)});
  request(kRequestPlay);
  stepTo(songPath(1), 1);
  ASSERT_EQ(media_.openPath(), songPath(1));
  const uint64_t started = env_.nowMillis();
  stepUntil([&] { return env_.nowMillis() - started >= 8000; });
  EXPECT_EQ(media_.openPath(), songPath(1)) << "song 2 alone does not follow";
  EXPECT_EQ(rated(takeUpdates()), Rated{"1:80"});
}

// The same song twice in a row on the list is remembered once: Back goes to the song before it.
TEST_F(PlayerTest, ASongPlayedTwiceInARowIsRememberedOnce) {
  program().settings().set(settings::kAutoRate, 0);
  listSongs({songPath(2), songPath(1), songPath(1), songPath(1), songPath(3), songPath(4)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  for (int i = 0; i < 3; ++i) {
    request(kRequestSkip);
    ASSERT_TRUE(untilPlaying(songPath(1))) << i;
  }
  EXPECT_EQ(backStackTop(program().settings()), 1);
  EXPECT_EQ(program().settings().get(settings::kBackStack, 1), 2);
}

}  // namespace
}  // namespace tunora::player

// The player thread over the fake media window, in the whole program (tests/support's
// ProgramRun) with a play list the test fills: start and end points, pause, resume and stop, the
// back stack, skip and end with auto-rate, files that do not open, requests held while too few
// songs are prepared, the switch at the media's end, a library gone. The clock moves only while a
// test waits (or, for a player driven step by step, by exactly what each step sleeps).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "library/song_columns.h"
#include "player/back_stack.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/fake_media_window.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace tunora::player {
namespace {

using namespace tunora::testing;

bool called(const std::vector<std::string>& calls, const std::string& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

class PlayerTest : public ::testing::Test {
 protected:
  // Slots 0..7 hold songs "song<i>.wav" (FileId 100 + i, user 0's score 64), 10 minutes each;
  // "Auto Rate" on, "Auto Build" off.
  void SetUp() override {
    path_ = dir_.file("Tunora.mbf");
    std::vector<TestSong> songs;
    for (int i = 0; i < 8; ++i) {
      songs.push_back({songPath(i), "Artist " + std::to_string(i), 64, 1000, 0});
      media_.setLength(songPath(i), 600000);  // no song ends by itself unless a test wants it to
    }
    ASSERT_TRUE(writeSongTable(path_, songs));
    edit([](marlbase::TableHandle& t) {
      for (int i = 0; i < 8; ++i) ASSERT_TRUE(t.writeInt(i, kColFileId, 100 + i));
    });
    run_ = std::make_unique<ProgramRun>(env_, media_, dir_.folder(), [](Settings& s) {
      s = firstRunSettings();
      s.set(settings::kAutoRate, 1);
      s.set(settings::kAutoBuild, 0);
    });
    player_ = &run_->player();
  }

  Program& program() { return run_->program(); }
  RecordingWindow& window() { return run_->window(); }
  std::string songPath(int i) const { return dir_.file("song" + std::to_string(i) + ".wav"); }
  // Changes the library's records.
  void edit(const std::function<void(marlbase::TableHandle&)>& change) {
    marlbase::TableHandle table;
    table.setPath(path_);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    change(table);
    table.close();
  }
  void setFrames(int i, uint32_t start, uint32_t end) {
    edit([&](auto& t) {
      ASSERT_TRUE(t.writeInt(i, kColStartFrame, start) && t.writeInt(i, kColEndFrame, end));
    });
  }
  void listSongs(const std::vector<std::string>& paths) {
    for (const auto& p : paths) program().playList().append({"T", "A", "B", p, "Audio"});
  }
  void start() { ASSERT_TRUE(run_->start(false)); }
  void request(int32_t code) { program().words().player_request.store(code); }
  bool until(const std::function<bool()>& done) {
    return run_->until(done, std::chrono::milliseconds(10));
  }
  // Until the player has switched to `path`: the media opened and the switch's last step, the
  // repaint, done.
  bool untilPlaying(const std::string& path) {
    auto repaints = [&] { return window().text_repaints.load() + window().video_repaints.load(); };
    const bool done = until([&] {
      return media_.openPath() == path && player_->state().position.load() >= 0 &&
             repaints() > repaints_seen_;
    });
    repaints_seen_ = repaints();
    return done;
  }
  // The loop driven by hand, one step() at a time, the clock moved by exactly the sleep each step
  // asks for: no thread, so virtual time is exact. Steps until `done` holds after a step, at most
  // `steps` times; returns the sleeps asked for (the last one not slept).
  std::vector<int64_t> stepUntil(const std::function<bool()>& done, int steps = 200) {
    std::vector<int64_t> sleeps;
    for (int i = 0; i < steps && !done(); ++i) {
      const auto sleep = player_->step();
      sleeps.push_back(sleep.count());
      if (done()) break;
      env_.advance(sleep);
    }
    return sleeps;
  }
  std::vector<int64_t> stepTo(const std::string& path, int steps = 200) {
    return stepUntil([&] { return media_.openPath() == path; }, steps);
  }
  // The score updates queued since the last call, as "slot:new value ..." (of user 0's score 64:
  // 48 skipped, 80 played to the end).
  std::string rated() {
    std::string out;
    while (auto u = program().updateQueue().takeOldest()) {
      out +=
          (out.empty() ? "" : " ") + std::to_string(u->slot) + ":" + std::to_string(u->new_value);
    }
    return out;
  }

  TempDir dir_;
  std::string path_;
  FakeEnv env_;
  ui::FakeMediaWindow media_{env_};
  std::unique_ptr<ProgramRun> run_;
  Player* player_ = nullptr;
  int repaints_seen_ = 0;
};

TEST_F(PlayerTest, PlaysFromTheStartPointAndMovesOnAtTheEndPointRaisingTheScore) {
  setFrames(1, 1000, 30000);  // the file is 10 minutes long
  listSongs({songPath(1), songPath(2), songPath(3)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  const uint64_t started = env_.nowMillis();
  EXPECT_TRUE(called(media_.calls(), "playFrom 1000"));

  // The slider follows the position against the end point (against the file: near 33 at 20 s).
  ASSERT_TRUE(until([&] { return window().slider.load() >= 666; }));
  ASSERT_TRUE(untilPlaying(songPath(2)));
  // 29 s of the song (1 s to 30 s), then the switch, before the file's end (600 s).
  const uint64_t played = env_.nowMillis() - started;
  EXPECT_TRUE(played >= 29000u && played < 600000u) << played;
  EXPECT_EQ(program().playList().size(), 1);
  EXPECT_EQ(rated(), "1:80");  // 64 + 64 / 4
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

  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  EXPECT_TRUE(called(media_.calls(), "playFrom " + std::to_string(paused_at)));
  EXPECT_EQ(program().playList().size(), 3);  // no row taken for a resume
  EXPECT_EQ(player_->state().resume_position.load(), 0);

  request(kRequestStop);
  ASSERT_TRUE(until([&] { return !media_.isOpen(); }));
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(2)));

  EXPECT_TRUE(rated().empty());  // neither pausing nor stopping rates
}

TEST_F(PlayerTest, BackTwicePlaysTheSecondThenTheFirstSongWithoutTakingRows) {
  program().settings().set(settings::kAutoRate, 0);
  listSongs({songPath(1), songPath(2), songPath(2), songPath(3), songPath(4), songPath(5)});
  start();
  request(kRequestPlay);
  ASSERT_TRUE(untilPlaying(songPath(1)));
  for (int song : {2, 2, 3}) {
    request(kRequestSkip);
    ASSERT_TRUE(untilPlaying(songPath(song))) << song;
  }
  EXPECT_EQ(program().playList().size(), 2);
  for (int song : {2, 1}) {  // song 2, played twice in a row, is remembered once
    request(kRequestBack);
    ASSERT_TRUE(untilPlaying(songPath(song))) << song;
  }
  EXPECT_EQ(backStackTop(program().settings()), -1);
  EXPECT_EQ(program().playList().size(), 2);

  // With the stack empty, Back plays the list top and leaves its row.
  request(kRequestBack);
  ASSERT_TRUE(untilPlaying(songPath(4)));
  EXPECT_EQ(program().playList().size(), 2);
  EXPECT_TRUE(rated().empty());  // "Auto Rate" off
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
  const auto calls = media_.calls();  // song 2 got ready before song 1 ended
  EXPECT_LT(std::find(calls.begin(), calls.end(), "prepare " + songPath(2)),
            std::find(calls.begin(), calls.end(), "open " + songPath(2)));
  // Song 2's end point (5 s) lies past its file's end (2.1 s): the media window's end moves on.
  started = env_.nowMillis();
  stepTo(songPath(3));
  ASSERT_EQ(media_.openPath(), songPath(3));
  EXPECT_EQ(env_.nowMillis() - started, 2100u);
  EXPECT_EQ(program().playList().size(), 1);
  EXPECT_EQ(rated(), "1:80 2:80");  // both played to their end
}

// An MP3 without a header that gives its length opens with no length: that is not its end. It
// plays until the media window learns the length and the position reaches it, or until the
// media ends without ever saying its length; either way it is rated as played to its end once.
TEST_F(PlayerTest, ASongWhoseLengthIsUnknownAtFirstPlaysToItsRealEnd) {
  const int64_t lengths[] = {5000, 4000};
  media_.setLateLength(songPath(1), 5000, 2000);
  media_.setLateLength(songPath(2), 4000, -1);  // never learned
  listSongs({songPath(1), songPath(2), songPath(3), songPath(4)});
  request(kRequestPlay);
  stepTo(songPath(1), 1);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(media_.openPath(), songPath(i + 1));
    EXPECT_EQ(player_->state().length.load(), 0);
    const uint64_t started = env_.nowMillis();
    stepUntil([&] { return env_.nowMillis() - started >= 1500; });
    EXPECT_EQ(media_.openPath(), songPath(i + 1)) << "left at " << env_.nowMillis() - started;
    EXPECT_TRUE(rated().empty());
    stepUntil([&] { return media_.openPath() != songPath(i + 1); });
    EXPECT_EQ(media_.openPath(), songPath(i + 2));
    const int64_t played = static_cast<int64_t>(env_.nowMillis() - started);
    EXPECT_TRUE(played >= lengths[i] && played <= lengths[i] + 500) << played;
    EXPECT_EQ(rated(), std::to_string(i + 1) + ":80");  // played to its end
  }
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

  std::filesystem::rename(moved, path_);
  request(kRequestSkip);
  ASSERT_TRUE(untilPlaying(songPath(2)));
  EXPECT_EQ(program().words().library_missing.load(), 0);
}

// The volume of the media controls reaches the media window once, for every song after; the
// file's tag gives the track number and genre; the media window's output problem lasts as it does.
TEST_F(PlayerTest, TheVolumeTheTagAndTheOutputProblemReachTheirReaders) {
  // An ID3v2.3 tag of 30 bytes: "TRCK" "4/12" and "TCON" "(8)", each a Latin-1 text frame.
  std::vector<uint8_t> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0,   0,   30,  'T', 'R', 'C', 'K',
                                 0,   0,   0,   5, 0, 0, 0, '4', '/', '1', '2', 'T', 'C', 'O',
                                 'N', 0,   0,   0, 5, 0, 0, 0,   '(', '8', ')', 0};
  tagged.resize(tagged.size() + 200, 0xFF);
  writeBytes(songPath(1), tagged);
  media_.setOutputProblem("No usable audio output");
  listSongs({songPath(1), songPath(2), songPath(3)});
  request(kRequestPlay);
  stepTo(songPath(1), 1);
  ASSERT_EQ(media_.openPath(), songPath(1));
  EXPECT_EQ(player_->state().outputProblem(), "No usable audio output");
  media_.setOutputProblem("");
  SongTags tags = player_->state().tags();
  EXPECT_EQ(tags.path + " " + std::to_string(tags.track_number) + " " + tags.genre,
            songPath(1) + " 4 Jazz");

  player_->state().volume.store(0.5);
  (void)player_->step();
  (void)player_->step();
  request(kRequestSkip);
  stepTo(songPath(2), 2);
  const auto calls = media_.calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "volume 500"), 1);  // given once, kept
  tags = player_->state().tags();                                      // no file, no tag
  EXPECT_EQ(tags.path + " " + std::to_string(tags.track_number) + " " + tags.genre,
            songPath(2) + " 0 ");
  EXPECT_EQ(player_->state().outputProblem(), "");
}

// Library songs whose files are gone and paths the library does not know are passed over at
// once, unrated and not remembered; a skip then lowers the score.
TEST_F(PlayerTest, FilesThatDoNotOpenArePassedOverAtOnceAndASkipLowersTheScore) {
  const std::vector<std::string> gone = {dir_.file("gone5.wav"), dir_.file("gone6.wav")};
  edit([&](auto& t) {
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(t.writeText(5 + i, kColFileName, gone[i]));
  });
  listSongs({gone[0], gone[1], dir_.file("unknown1.wav"), dir_.file("unknown2.wav"), songPath(1),
             songPath(2), songPath(3)});
  request(kRequestPlay);
  const uint64_t started = env_.nowMillis();
  stepTo(songPath(1), 30);
  ASSERT_EQ(media_.openPath(), songPath(1));
  EXPECT_EQ(env_.nowMillis(), started);  // no sleep at all on the way
  EXPECT_EQ(program().playList().size(), 2);
  EXPECT_TRUE(called(media_.calls(), "open-failed " + dir_.file("gone5.wav")));
  EXPECT_TRUE(rated().empty());  // nothing that did not play is rated
  request(kRequestSkip);
  stepTo(songPath(2), 5);
  ASSERT_EQ(media_.openPath(), songPath(2));
  EXPECT_EQ(rated(), "1:48");  // 64 - 64 / 4
  // Back would go to song 1 and from there to nothing older.
  EXPECT_EQ(backStackTop(program().settings()), 1);
  EXPECT_EQ(program().settings().get(settings::kBackStack, 1), -1);
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
  EXPECT_EQ(rated(), "1:80");
}

}  // namespace
}  // namespace tunora::player

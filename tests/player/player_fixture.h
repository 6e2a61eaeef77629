// The whole program (tests/support's ProgramRun) over a small song table, for the player's
// tests: the player on the fake media window and a fake main window, a play list filled by the
// test; the supervisor hands the lock over once started; the clock moves only while the test
// waits for something (or, for a player driven step by step, by exactly what each step sleeps).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/fake_media_window.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {

inline bool called(const std::vector<std::string>& calls, const std::string& call) {
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
  player::Player* player_ = nullptr;
  int repaints_seen_ = 0;
};

}  // namespace tunora::testing

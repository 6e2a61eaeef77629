// A program object with the player over a fake media window and a fake main window, a small
// song table and a play list filled by the test. The supervisor hands the lock over; the clock
// moves only while the test waits for something.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/program.h"
#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "player/player.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/clock_driver.h"
#include "tests/engine/program_fixture.h"
#include "tests/player/fake_player_window.h"
#include "tests/support/fake_env.h"
#include "tests/support/fake_media_window.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {

inline constexpr int kFixtureSongs = 8;
// Ten minutes: no song ends by itself unless a test wants it to, however far the clock runs
// while the threads catch up.
inline constexpr int64_t kSongLength = 600000;

class PlayerTest : public ::testing::Test {
 protected:
  // Slots 0..7 hold songs "song<i>.wav" (FileId 100 + i, user 0's score 64), 10 minutes each.
  void SetUp() override {
    path_ = dir_.file("Tunora.mbf");
    std::vector<TestSong> songs;
    for (int i = 0; i < kFixtureSongs; ++i) {
      songs.push_back({songPath(i), "Artist " + std::to_string(i), 64, 1000, 0});
    }
    ASSERT_TRUE(writeSongTable(path_, songs));
    marlbase::TableHandle table;
    table.setPath(path_);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    for (int i = 0; i < kFixtureSongs; ++i) ASSERT_TRUE(table.writeInt(i, kColFileId, 100 + i));
    table.close();
    Settings& settings = program_.settings();
    settings = firstRunSettings();
    settings.setText(settings::kDatabasePath, path_);
    settings.set(settings::kAutoRate, 1);
    settings.set(settings::kAutoBuild, 0);
    for (int i = 0; i < kFixtureSongs; ++i) media_.setLength(songPath(i), kSongLength);
    program_.attachWindow(&commands_);
  }
  void TearDown() override {
    program_.words().stopping.store(1);
    ClockDriver clock(env_, std::chrono::milliseconds(1000));
    program_.stopThreads();
    program_.attachWindow(nullptr);
  }

  std::string songPath(int i) const { return dir_.file("song" + std::to_string(i) + ".wav"); }
  void setFrames(int i, uint32_t start, uint32_t end) {
    marlbase::TableHandle table;
    table.setPath(path_);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    ASSERT_TRUE(table.writeInt(i, kColStartFrame, start));
    ASSERT_TRUE(table.writeInt(i, kColEndFrame, end));
    table.close();
  }
  void setPath(int i, const std::string& path) {
    marlbase::TableHandle table;
    table.setPath(path_);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    ASSERT_TRUE(table.writeText(i, kColFileName, path));
    table.close();
  }
  void listSongs(const std::vector<std::string>& paths) {
    for (const auto& p : paths) program_.playList().append({"T", "A", "B", p, "Audio"});
  }
  void start() {
    player_ = &program_.createPlayer(media_, window_);
    ASSERT_TRUE(program_.startSupervisor());
    ASSERT_TRUE(program_.startPlayer());
  }
  void request(int32_t code) { program_.words().player_request.store(code); }
  bool until(const std::function<bool()>& done) {
    return driveUntil(env_, done, std::chrono::milliseconds(10));
  }
  // Until the player has switched to `path`: the media opened and the switch's last step, the
  // repaint, done.
  bool untilPlaying(const std::string& path) {
    auto repaints = [&] { return window_.text_repaints.load() + window_.video_repaints.load(); };
    const bool done = until([&] {
      return media_.openPath() == path && player_->state().position.load() >= 0 &&
             repaints() > repaints_seen_;
    });
    repaints_seen_ = repaints();
    return done;
  }
  int repaints_seen_ = 0;
  std::vector<engine::QueuedUpdate> takeUpdates() {
    std::vector<engine::QueuedUpdate> out;
    while (auto u = program_.updateQueue().takeOldest()) out.push_back(*u);
    return out;
  }

  TempDir dir_;
  std::string path_;
  FakeEnv env_;
  RecordingWindow commands_;
  FakePlayerWindow window_;
  ui::FakeMediaWindow media_{env_};
  Program program_{env_};
  player::Player* player_ = nullptr;
};

}  // namespace tunora::testing

// Saves and copies killed at random moments leave every file whole: a playlist saved by "Save DB
// as Playlist" or as a state's play list is the old file or the new one, never cut off; a song
// a fill was copying is under its name whole or not at all; and the temporary files the kills
// leave are removed by the cleanup that runs at the next start (or the next fill).
//
// Each case forks a child that does the work and kills it with SIGKILL at a moment drawn over
// the time the work takes (tests/crash/kill_child.h), then checks the files. The normal run
// kills 30 times per case; TUNORA_CRASH_KILLS=N kills N times (the ctest "crash-long" run: 250).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "filler/fill_files.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "maintenance/db_functions.h"
#include "media/playlist_file.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "tests/crash/run_and_kill.h"
#include "tests/support/temp_dir.h"
#include "util/stale_temp_files.h"

namespace tunora {
namespace {

namespace fs = std::filesystem;
using testing::ChildEnd;
using testing::readBytes;
using testing::TempDir;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// What the kills of one case found.
struct Tally {
  int killed = 0;    // kills that landed while the work ran
  int finished = 0;  // runs that ended before their kill
  int failed = 0;    // children that failed on their own
  int old_seen = 0;
  int new_seen = 0;
  int damaged = 0;  // files neither old nor new, or cut off
  int temps_removed = 0;
  int temps_left = 0;  // temporary files still there after the cleanup

  void print(const char* what) const {
    std::printf(
        "%s: %d kills landed (%d runs finished first), %d old, %d new, %d damaged, "
        "%d temporary files removed, %d left\n",
        what, killed, finished, old_seen, new_seen, damaged, temps_removed, temps_left);
  }
};

// The names in `folder` other than `keep` that are not a killed writer's temporary file.
std::vector<std::string> strangers(const std::string& folder, const std::set<std::string>& keep) {
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (keep.count(name) == 0 && stalePidOf(name) == 0) out.push_back(name);
  }
  return out;
}

// The temporary files of killed writers in `folder`.
int tempsIn(const std::string& folder) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    n += stalePidOf(entry.path().filename().string()) != 0;
  }
  return n;
}

// Runs `work` in children killed at drawn moments; `check` examines the files after each.
template <typename Work, typename Check>
void killRepeatedly(uint64_t seed, Work work, Check check, Tally& tally) {
  const int kills = testing::killsPerCase(30);
  std::chrono::microseconds took{};
  ASSERT_EQ(testing::runAndKill(work, std::chrono::microseconds(-1), &took), ChildEnd::kFinished);
  check(/*after_kill=*/false);
  testing::KillMoments moments(seed, took + took / 10);
  while (tally.killed < kills) {
    switch (testing::runAndKill(work, moments.next())) {
      case ChildEnd::kKilled:
        ++tally.killed;
        break;
      case ChildEnd::kFinished:
        ++tally.finished;
        break;
      case ChildEnd::kFailed:
        ++tally.failed;
        break;
    }
    check(/*after_kill=*/true);
    ASSERT_EQ(tally.failed, 0);
    ASSERT_LT(tally.finished, 10 * kills) << "the kills never land";
  }
}

// A library of songs with long paths: its playlist is about 180 KB.
class PlaylistKillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = dir_.file("songs.mbf");
    marlbase::TableHandle table;
    ASSERT_TRUE(createSongTable(table, library_));
    std::string text = "\r\n";  // the blank first record's empty path
    for (int i = 0; i < 2500; ++i) {
      const int32_t slot = table.allocate();
      ASSERT_GT(slot, 0);
      const std::string path = "/home/someone/Music/Artist " + std::to_string(i % 97) +
                               "/Album of the year/" + std::to_string(i) + " A song.mp3";
      ASSERT_TRUE(table.writeText(slot, kColFileName, path));
      paths_.push_back(path);
      text += path + "\r\n";
    }
    table.close();
    new_list_ = bytesOf(text);
    old_list_ = bytesOf("/an/older/list.mp3\r\n/with/two/songs.mp3\r\n");
    playlist_ = dir_.file("PL1.m3u");
  }

  // After a kill: the playlist is the old or the new one; the killed save's temporary file goes
  // at the cleanup; nothing else is in the folder.
  void checkPlaylist(const std::vector<uint8_t>& new_list, Tally& tally, bool after_kill) {
    const std::vector<uint8_t> now = readBytes(playlist_);
    if (now == new_list) {
      tally.new_seen += after_kill;
    } else if (now == old_list_) {
      tally.old_seen += after_kill;
    } else {
      ++tally.damaged;
      ADD_FAILURE() << "the playlist holds " << now.size() << " bytes, neither old nor new";
    }
    EXPECT_EQ(strangers(dir_.folder(), {"songs.mbf", "songs.mbf.index", "PL1.m3u"}),
              std::vector<std::string>{});
    tally.temps_removed += static_cast<int>(removeStaleTempFiles(dir_.folder()).size());
    const int left = tempsIn(dir_.folder());
    tally.temps_left += left;
    EXPECT_EQ(left, 0);
    testing::writeBytes(playlist_, old_list_);
  }

  TempDir dir_;
  std::string library_;
  std::string playlist_;
  std::vector<std::string> paths_;
  std::vector<uint8_t> new_list_;
  std::vector<uint8_t> old_list_;
};

TEST_F(PlaylistKillTest, SaveDbAsPlaylistKilledLeavesTheOldOrTheNewPlaylist) {
  testing::writeBytes(playlist_, old_list_);
  Tally tally;
  auto work = [&] {
    marlbase::TableHandle table;
    table.setPath(library_);
    table.setWritable(true);
    if (!table.open().ok()) return 2;
    maintenance::DbInputs inputs;
    inputs.playlist_path = playlist_;
    const maintenance::DbResult r = maintenance::runDbFunction(
        maintenance::DbFunction::kSavePlaylist, table, inputs, {}, nullptr, nullptr);
    return r.ok ? 0 : 3;
  };
  killRepeatedly(
      11, work, [&](bool after_kill) { checkPlaylist(new_list_, tally, after_kill); }, tally);
  tally.print("Save DB as Playlist");
  EXPECT_EQ(tally.damaged, 0);
  EXPECT_EQ(tally.temps_left, 0);
}

TEST_F(PlaylistKillTest, APlayListSaveKilledLeavesTheOldOrTheNewPlaylist) {
  testing::writeBytes(playlist_, old_list_);
  std::string text;
  for (const auto& path : paths_) text += path + "\r\n";
  const std::vector<uint8_t> new_list = bytesOf(text);
  Tally tally;
  auto work = [&] { return media::writePlayList(playlist_, paths_).ok() ? 0 : 3; };
  killRepeatedly(
      12, work, [&](bool after_kill) { checkPlaylist(new_list, tally, after_kill); }, tally);
  tally.print("play list save");
  EXPECT_EQ(tally.damaged, 0);
  EXPECT_EQ(tally.temps_left, 0);
}

TEST(SettingsKillTest, ASettingsSaveKilledLeavesTheOldOrTheNewFileAndNoTemporaryFile) {
  TempDir data;
  Settings old_settings;
  old_settings.set(settings::kListSize, 11);
  ASSERT_TRUE(saveSettings(old_settings, data.folder(), {}).ok());
  const std::vector<uint8_t> old_file = readBytes(data.file("dTunora.dat"));
  Settings new_settings;
  new_settings.set(settings::kListSize, 22);
  Tally tally;
  auto work = [&] { return saveSettings(new_settings, data.folder(), {}).ok() ? 0 : 3; };
  std::vector<uint8_t> new_file;
  auto check = [&](bool after_kill) {
    const std::vector<uint8_t> now = readBytes(data.file("dTunora.dat"));
    if (!after_kill) {
      new_file = now;
    } else if (now == new_file) {
      ++tally.new_seen;
    } else if (now == old_file) {
      ++tally.old_seen;
    } else {
      ++tally.damaged;
      ADD_FAILURE() << "the settings file is damaged";
    }
    EXPECT_EQ(strangers(data.folder(), {"dTunora.dat"}), std::vector<std::string>{});
    tally.temps_removed += static_cast<int>(removeStaleTempFiles(data.folder()).size());
    const int left = tempsIn(data.folder());
    tally.temps_left += left;
    EXPECT_EQ(left, 0);
    testing::writeBytes(data.file("dTunora.dat"), old_file);
  };
  killRepeatedly(13, work, check, tally);
  tally.print("settings save");
  EXPECT_EQ(tally.damaged, 0);
  EXPECT_EQ(tally.temps_left, 0);
  EXPECT_NE(new_file, old_file);
}

// A fill copying songs into a folder, killed: every file under a song's name holds that song
// whole; the killed copy's temporary file goes at the next fill's start.
TEST(FillKillTest, AFillKilledLeavesNoCutOffSong) {
  TempDir dir;
  fs::create_directories(dir.file("music"));
  fs::create_directories(dir.file("out"));
  std::vector<std::string> songs;
  std::vector<std::vector<uint8_t>> contents;
  for (int i = 0; i < 8; ++i) {
    std::vector<uint8_t> bytes(200 * 1024 + 37 * i);
    for (size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<uint8_t>(b * 31 + i);
    songs.push_back(dir.file("music/song" + std::to_string(i) + ".mp3"));
    testing::writeBytes(songs.back(), bytes);
    contents.push_back(bytes);
  }
  const std::string out = dir.file("out");
  auto target = [&](size_t i) {
    return out + "/00" + std::to_string(i) + " song" + std::to_string(i) + ".mp3";
  };
  auto work = [&] {
    filler::PosixFillFiles files;
    for (size_t i = 0; i < songs.size(); ++i) {
      bool taken = false;
      if (!files.copyFile(songs[i], target(i), taken).ok()) return 3;
    }
    return 0;
  };
  Tally tally;
  auto check = [&](bool after_kill) {
    int whole = 0;
    for (size_t i = 0; i < songs.size(); ++i) {
      if (!fs::exists(target(i))) continue;
      if (readBytes(target(i)) == contents[i]) {
        ++whole;
      } else {
        ++tally.damaged;
        ADD_FAILURE() << target(i) << " is cut off";
      }
    }
    if (after_kill) (whole == static_cast<int>(songs.size()) ? tally.new_seen : tally.old_seen)++;
    EXPECT_EQ(strangers(out, {}).size(), static_cast<size_t>(whole));
    filler::PosixFillFiles files;
    tally.temps_removed += files.removeStaleCopies(out);
    const int left =
        static_cast<int>(std::distance(fs::directory_iterator(out), fs::directory_iterator())) -
        whole;
    tally.temps_left += left;
    EXPECT_EQ(left, 0);
    for (const auto& entry : fs::directory_iterator(out)) fs::remove(entry.path());
  };
  killRepeatedly(14, work, check, tally);
  tally.print("fill copies");
  EXPECT_EQ(tally.damaged, 0);
  EXPECT_EQ(tally.temps_left, 0);
}

}  // namespace
}  // namespace tunora

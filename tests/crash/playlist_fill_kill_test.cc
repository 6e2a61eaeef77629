// Saves and copies killed at random moments leave every file whole: a playlist saved by "Save DB
// as Playlist" or as a state's play list, and the settings file, are the old file or the new
// one, never cut off; a song a fill was copying is under its name whole or not at all; and the
// temporary files the kills leave are removed by the cleanup that runs at the next start (or the
// next fill).
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
#include "tests/crash/kill_child.h"
#include "tests/support/temp_dir.h"
#include "util/stale_temp_files.h"

namespace tunora {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempDir;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// The names in `folder` other than `keep` that are not a killed writer's temporary file.
std::vector<std::string> strangers(const std::string& folder, const std::set<std::string>& keep) {
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (keep.count(name) == 0 && stalePidOf(name) == 0) out.push_back(name);
  }
  return out;
}

// Kills `work`, a save of `file` in `folder` (which holds `old_bytes` before each run), and
// checks after each run: the file is the old one or the new one (`new_bytes`),
// nothing else is in the folder but the killed writer's temporary file, and the cleanup removes
// that.
void killASave(uint64_t seed, const std::string& what, const std::string& folder,
               const std::string& file, const std::vector<uint8_t>& old_bytes,
               const std::vector<uint8_t>& new_bytes, const std::function<bool()>& work,
               const std::set<std::string>& keep = {}) {
  int old_seen = 0, new_seen = 0, temps_removed = 0;
  std::set<std::string> known = keep;
  known.insert(file);
  const testing::KillTally tally = testing::killRepeatedly(
      seed, testing::killsPerCase(30), [] { return true; }, work,
      [&] { testing::writeBytes(folder + file, old_bytes); },
      [&](bool after_kill) {
        const std::vector<uint8_t> now = readBytes(folder + file);
        if (!after_kill) {
          EXPECT_EQ(now, new_bytes) << what << ": the uncut save";
        } else if (now == new_bytes) {
          ++new_seen;
        } else if (now == old_bytes) {
          ++old_seen;
        } else {
          ADD_FAILURE() << what << ": " << now.size() << " bytes, neither old nor new";
        }
        EXPECT_EQ(strangers(folder, known), std::vector<std::string>{}) << what;
        temps_removed += static_cast<int>(removeStaleTempFiles(folder).size());
        for (const auto& entry : fs::directory_iterator(folder)) {
          EXPECT_EQ(stalePidOf(entry.path().filename().string()), 0) << what << ": left";
        }
      });
  std::printf(
      "%s: %d kills landed (%d runs finished first), %d old, %d new, %d temporary files "
      "removed\n",
      what.c_str(), tally.killed, tally.finished, old_seen, new_seen, temps_removed);
  EXPECT_EQ(tally.failed, 0) << what;
  EXPECT_EQ(tally.killed, testing::killsPerCase(30)) << what << ": too few kills landed";
}

TEST(SaveKillTest, APlaylistOrSettingsSaveKilledLeavesTheOldOrTheNewFile) {
  // A library of songs with long paths: its playlist is about 180 KB.
  TempDir dir;
  const std::string library = dir.file("songs.mbf");
  marlbase::TableHandle table;
  ASSERT_TRUE(createSongTable(table, library));
  std::vector<std::string> paths;
  std::string text;
  for (int i = 0; i < 2500; ++i) {
    const int32_t slot = table.allocate();
    paths.push_back("/home/someone/Music/Artist " + std::to_string(i % 97) + "/Album of the year/" +
                    std::to_string(i) + " A song.mp3");
    ASSERT_TRUE(table.writeText(slot, kColFileName, paths.back()));
    text += paths.back() + "\r\n";
  }
  table.close();
  const std::vector<uint8_t> old_list = bytesOf("/an/older/list.mp3\r\n/with/two/songs.mp3\r\n");
  // The library's playlist starts with the blank first record's empty path.
  killASave(11, "Save DB as Playlist", dir.folder(), "PL1.m3u", old_list, bytesOf("\r\n" + text),
            [&] {
              marlbase::TableHandle t;
              t.setPath(library);
              t.setWritable(true);
              maintenance::DbInputs inputs;
              inputs.playlist_path = dir.file("PL1.m3u");
              return t.open().ok() &&
                     maintenance::runDbFunction(maintenance::DbFunction::kSavePlaylist, t, inputs,
                                                {}, nullptr, nullptr)
                         .ok;
            },
            {"songs.mbf", "songs.mbf.index"});
  killASave(12, "play list save", dir.folder(), "PL1.m3u", old_list, bytesOf(text),
            [&] { return media::writePlayList(dir.file("PL1.m3u"), paths).ok(); },
            {"songs.mbf", "songs.mbf.index"});

  TempDir data;
  Settings old_settings;
  old_settings.set(settings::kListSize, 11);
  ASSERT_TRUE(saveSettings(old_settings, data.folder(), {}).ok());
  const std::vector<uint8_t> old_file = readBytes(data.file("dTunora.dat"));
  Settings new_settings;
  new_settings.set(settings::kListSize, 22);
  ASSERT_TRUE(saveSettings(new_settings, data.folder(), {}).ok());
  const std::vector<uint8_t> new_file = readBytes(data.file("dTunora.dat"));
  ASSERT_NE(new_file, old_file);
  killASave(13, "settings save", data.folder(), "dTunora.dat", old_file, new_file,
            [&] { return saveSettings(new_settings, data.folder(), {}).ok(); });
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
  int removed = 0;
  const testing::KillTally tally = testing::killRepeatedly(
      14, testing::killsPerCase(30), [] { return true; },
      [&] {
        filler::PosixFillFiles files;
        for (size_t i = 0; i < songs.size(); ++i) {
          bool taken = false;
          if (!files.copyFile(songs[i], target(i), taken).ok()) return false;
        }
        return true;
      },
      [&] {
        for (const auto& entry : fs::directory_iterator(out)) fs::remove(entry.path());
      },
      [&](bool) {
        int whole = 0;
        for (size_t i = 0; i < songs.size(); ++i) {
          if (!fs::exists(target(i))) continue;
          EXPECT_EQ(readBytes(target(i)), contents[i]) << target(i) << " is cut off";
          ++whole;
        }
        EXPECT_EQ(strangers(out, {}).size(), static_cast<size_t>(whole));
        filler::PosixFillFiles files;
        removed += files.removeStaleCopies(out);
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), whole)
            << "a temporary file left";
      });
  std::printf("fill copies: %d kills landed (%d runs finished first), %d temporary files removed\n",
              tally.killed, tally.finished, removed);
  EXPECT_EQ(tally.failed, 0);
  EXPECT_EQ(tally.killed, testing::killsPerCase(30));
}

}  // namespace
}  // namespace tunora

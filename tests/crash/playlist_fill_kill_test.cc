// Saves and copies killed at random moments leave every file whole: a playlist saved by "Save DB
// as Playlist" and the settings file are the old file or the new one, never cut off; a song a
// fill was copying is under its name whole or not at all; and the temporary files the kills leave
// are removed by the cleanup that runs at the next start (or the next fill). 30 kills per case;
// TUNORA_CRASH_KILLS=N kills N times (the "crash-long" run: 250).

#include <set>

#include "filler/fill_files.h"
#include "maintenance/db_functions.h"
#include "settings/settings_file.h"
#include "tests/support/kill_child.h"
#include "tests/support/song_library.h"
#include "tests/support/temp_dir.h"
#include "util/stale_temp_files.h"

namespace tunora {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempDir;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// The names in `folder` not in `allowed`, a killed writer's temporary file as "<temp>".
std::vector<std::string> strangers(const std::string& folder,
                                   const std::set<std::string>& allowed) {
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    const std::string seen = stalePidOf(name) != 0 ? "<temp>" : name;
    if (allowed.count(seen) == 0) out.push_back(seen);
  }
  return out;
}

// Kills `work`, a save of `file` in `folder` (which holds `old_bytes` before each run): after each
// run the file is the old one or `new_bytes`, nothing else is in the folder but `others` and the
// killed writer's temporary file, and the cleanup removes that.
void killASave(uint64_t seed, const std::string& what, const std::string& folder,
               const std::string& file, const std::vector<uint8_t>& old_bytes,
               const std::vector<uint8_t>& new_bytes, const std::function<bool()>& work,
               std::set<std::string> others = {}) {
  others.insert(file);
  testing::killRepeatedly(
      what, seed, 30, work, [&] { testing::writeBytes(folder + file, old_bytes); },
      [&](bool after_kill) {
        const std::vector<uint8_t> now = readBytes(folder + file);
        EXPECT_TRUE(now == new_bytes || (after_kill && now == old_bytes))
            << what << ": " << now.size() << " bytes, neither old nor new";
        std::set<std::string> with_temp = others;
        with_temp.insert("<temp>");
        EXPECT_EQ(strangers(folder, with_temp), std::vector<std::string>{}) << what;
        removeStaleTempFiles(folder);
        EXPECT_EQ(strangers(folder, others), std::vector<std::string>{}) << what << ": left";
      });
}

TEST(SaveKillTest, APlaylistOrSettingsSaveKilledLeavesTheOldOrTheNewFile) {
  // A library of songs with long paths: its playlist is about 180 KB.
  TempDir dir;
  const std::string library = dir.file("songs.mbf");
  std::vector<testing::LibrarySong> songs;
  std::string text;
  for (int i = 0; i < 2500; ++i) {
    songs.push_back({.path = "/home/someone/Music/Artist " + std::to_string(i % 97) +
                             "/Album of the year/" + std::to_string(i) + " A song.mp3"});
    text += songs.back().path + "\r\n";
  }
  // A deleted song is no line of the playlist.
  songs.push_back({.path = "/m/deleted.mp3", .status = marlbase::kStatusDeleted});
  ASSERT_TRUE(testing::writeLibrary(library, songs));
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
            {"songs.mbf", "songs.mbf.index", "songs.mbf.index.delta"});

  TempDir data;
  Settings settings;
  settings.set(settings::kListSize, 11);
  ASSERT_TRUE(saveSettings(settings, data.folder(), {}).ok());
  const std::vector<uint8_t> old_file = readBytes(data.file("dTunora.dat"));
  settings.set(settings::kListSize, 22);
  ASSERT_TRUE(saveSettings(settings, data.folder(), {}).ok());
  const std::vector<uint8_t> new_file = readBytes(data.file("dTunora.dat"));
  ASSERT_NE(new_file, old_file);
  killASave(13, "settings save", data.folder(), "dTunora.dat", old_file, new_file,
            [&] { return saveSettings(settings, data.folder(), {}).ok(); });
}

// A fill copying songs into a folder, killed: every file under a song's name holds that song
// whole; the killed copy's temporary file goes at the next fill's start.
TEST(FillKillTest, AFillKilledLeavesNoCutOffSong) {
  TempDir dir;
  const std::string out = dir.file("out");  // made anew before each run
  std::vector<std::vector<uint8_t>> contents;
  for (int i = 0; i < 8; ++i) {
    std::vector<uint8_t> bytes(200 * 1024 + 37 * i);
    for (size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<uint8_t>(b * 31 + i);
    testing::writeBytes(dir.file("song" + std::to_string(i) + ".mp3"), bytes);
    contents.push_back(bytes);
  }
  auto target = [&](size_t i) { return out + "/00" + std::to_string(i) + " song.mp3"; };
  testing::killRepeatedly(
      "fill copies", 14, 30,
      [&] {
        filler::PosixFillFiles files;
        for (size_t i = 0; i < contents.size(); ++i) {
          bool taken = false;
          if (!files.copyFile(dir.file("song" + std::to_string(i) + ".mp3"), target(i), taken).ok())
            return false;
        }
        return true;
      },
      [&] { fs::remove_all(out), fs::create_directories(out); },
      [&](bool) {
        size_t whole = 0;
        for (size_t i = 0; i < contents.size(); ++i) {
          if (!fs::exists(target(i))) continue;
          EXPECT_EQ(readBytes(target(i)), contents[i]) << target(i) << " is cut off";
          ++whole;
        }
        filler::PosixFillFiles files;
        files.removeStaleCopies(out);
        EXPECT_EQ(strangers(out, {}).size(), whole) << "a temporary file left";
      });
}

}  // namespace
}  // namespace tunora

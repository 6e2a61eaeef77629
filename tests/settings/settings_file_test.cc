// What a save adds to the record (the window's placement and column widths), the state's play
// list beside it, the filler's own file when it is missing, and the data folder's write check;
// and a save that dies part-way, or meets a full disk, leaving the old settings file whole (the
// process is ended at every step of the save in a child process, then the file is loaded).
#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/filler_settings_file.h"
#include "settings/folder_check.h"
#include "settings/settings.h"
#include "tests/settings/settings_test_bytes.h"
#include "tests/support/child_process.h"

namespace tunora {
namespace {

using namespace settings;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

class FakeWindow : public WindowStateSource {
 public:
  std::optional<std::array<int32_t, 11>> placement;
  std::array<int32_t, 5> widths{};
  std::optional<std::array<int32_t, 11>> windowPlacement() override { return placement; }
  std::array<int32_t, 5> columnWidths() override { return widths; }
};

class FakePlayList : public PlayListStore {
 public:
  int32_t prepared = 0;
  std::vector<std::string> written;
  int32_t preparedCount() override { return prepared; }
  bool writePlayList(const std::string& path) override {
    written.push_back(path);
    testing::writeText(path, "song.mp3\r\n");
    return true;
  }
};

TEST(SettingsFileTest, SaveWritesHeaderAndRecordWithWindowState) {
  TempDir data;
  Settings s;
  s.set(kWindowPlacement, 0, 44);
  FakeWindow window;  // in the tray: no placement
  window.widths = {1, 2, 3, 4, 0x100};
  ASSERT_TRUE(saveSettings(s, data.folder(), {&window, nullptr}).ok());
  std::vector<uint8_t> record(7000, 0);
  record[4298] = 44;  // placement kept
  for (uint32_t k = 0; k < 5; ++k) testing::putWord(record, 732 + 4 * k, window.widths[k]);
  EXPECT_EQ(readBytes(data.file("dTunora.dat")), testing::settingsFileBytes("TUNO1401", record));

  window.placement = std::array<int32_t, 11>{44, 0, 1, -1, -1, -1, -1, 10, 20, 810, 620};
  ASSERT_TRUE(saveSettings(s, data.folder(), {&window, nullptr}).ok());
  const auto bytes = readBytes(data.file("dTunora.dat"));
  EXPECT_EQ(bytes[8 + 4298 + 12], 0xFF);  // minimised x = -1
  EXPECT_EQ(bytes[8 + 4298 + 36], 0x2A);  // right = 810 = 0x32A
  EXPECT_EQ(bytes[8 + 4298 + 37], 0x03);
}

TEST(SettingsFileTest, SaveWritesOrDeletesTheStatesPlayList) {
  TempDir data;
  Settings s;
  s.set(kCurrentState, 3);
  FakePlayList list;
  list.prepared = 1;
  ASSERT_TRUE(saveSettings(s, data.folder(), {nullptr, &list}).ok());
  ASSERT_EQ(list.written.size(), 1u);
  EXPECT_EQ(list.written[0], data.file("PL4.m3u"));

  list.prepared = kDoNotSavePlayList;  // "Quit but do not save playlist"
  ASSERT_TRUE(saveSettings(s, data.folder(), {nullptr, &list}).ok());
  EXPECT_EQ(list.written.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(data.file("PL4.m3u")));

  list.prepared = 0;
  ASSERT_TRUE(saveSettings(s, data.folder(), {nullptr, &list}).ok());
  EXPECT_FALSE(std::filesystem::exists(data.file("PL4.m3u")));

  list.prepared = 5;  // a save that fails writes no play list either
  EXPECT_FALSE(saveSettings(s, data.file("missing") + "/", {nullptr, &list}).ok());
  EXPECT_EQ(list.written.size(), 1u);
}

// A settings file that is a link is saved through the link, keeping the file's mode, and no
// temporary file is left in either folder.
TEST(SettingsFileTest, ASettingsFileThatIsALinkIsSavedThroughTheLinkKeepingItsMode) {
  TempDir data;
  std::filesystem::create_directories(data.file("real"));
  const std::string target = data.file("real/dTunora.dat");
  writeBytes(target, {1, 2, 3});
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("real/dTunora.dat", data.file("dTunora.dat").c_str()), 0);
  Settings s;
  ASSERT_TRUE(saveSettings(s, data.folder(), {}).ok());
  struct stat st {};
  ASSERT_EQ(::lstat(data.file("dTunora.dat").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(readBytes(target).size(), 7008u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.file("real")), {}), 1);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.folder()), {}), 2);
}

TEST(SettingsFileTest, MissingFillerFileSetsTheFillerDefaults) {
  TempDir data;
  Settings s;
  s.set(kPlayMidi, 1);
  EXPECT_FALSE(loadFillerSettings(data.folder(), s));
  EXPECT_EQ(s.get(IntField{5778}), 5);       // "4 GB"
  EXPECT_EQ(s.get(IntField{5778 + 20}), 1);  // MIDI from the main switch
  EXPECT_EQ(s.get(IntField{5778 + 16}), 0);  // MPEG from its own
  EXPECT_EQ(s.get(IntField{5778 + 60}), 1);  // "Add Number"
}

// The data folder's write check: a folder that takes a file keeps nothing of the check; a gone
// one, one that takes no files whoever asks, and one without write permission fail, naming it.
TEST(FolderCheckTest, OnlyAFolderThatTakesAFileIsWritable) {
  TempDir dir;
  EXPECT_TRUE(checkFolderWritable(dir.path().string() + "/").ok());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  for (const std::string& folder : {dir.file("moved"), std::string("/proc")}) {
    const Status s = checkFolderWritable(folder);
    EXPECT_FALSE(s.ok()) << folder;
    EXPECT_NE(s.message().find(folder), std::string::npos) << s.message();
  }
  if (::geteuid() != 0) {  // root writes in spite of the mode
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(checkFolderWritable(dir.path().string()).ok());
    ::chmod(dir.path().c_str(), 0755);
  }
}

std::vector<uint8_t> fileWithListSize(uint8_t list_size) {
  std::vector<uint8_t> record(7000, 0x20);
  record[8] = list_size;
  record[6999] = list_size;
  return testing::settingsFileBytes("TUNO1401", record);
}

TEST(SettingsCrashTest, DeathAtAnyStepLeavesOldOrNewFile) {
  testing::TempDir data;
  const auto old_file = fileWithListSize(1);
  const auto new_file = fileWithListSize(2);
  Settings fresh;
  ASSERT_EQ(decodeSettingsFile(new_file, fresh), 1000);

  int new_seen = 0;
  int old_seen = 0;
  // Steps: created; the header and 14 record chunks of at most 512 bytes; synced, renamed and
  // folder-synced: 19 in all. A 20th death point is past the end: the save completes.
  for (int kill_at = 1; kill_at <= 20; ++kill_at) {
    testing::writeBytes(data.file("dTunora.dat"), old_file);
    const int exit_code = testing::childExit([&] {
      int step = 0;
      ReplaceOptions options;
      options.chunk_size = 512;
      options.TEST_hook = [&](ReplaceStep, size_t) {
        if (++step == kill_at) ::_exit(42);
      };
      return saveSettings(fresh, data.folder(), {}, options).ok() ? 0 : 1;
    });
    EXPECT_EQ(exit_code, kill_at <= 19 ? 42 : 0) << "kill at " << kill_at;

    const auto on_disk = testing::readBytes(data.file("dTunora.dat"));
    Settings loaded;
    const SettingsLoadResult r = loadSettings(data.folder(), data.folder(), loaded);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.record_bytes, 7000u);
    if (on_disk == new_file) {
      ++new_seen;
    } else {
      ASSERT_EQ(on_disk, old_file) << "damaged after a death at step " << kill_at;
      ++old_seen;
    }
    // A death before the rename may leave the temporary file; the next save replaces it.
    for (const auto& entry : std::filesystem::directory_iterator(data.folder())) {
      if (entry.path().filename() != "dTunora.dat") std::filesystem::remove(entry.path());
    }
  }
  EXPECT_EQ(old_seen, 17);  // deaths up to and including the sync
  EXPECT_EQ(new_seen, 3);   // after the rename
}

TEST(SettingsCrashTest, FullDiskKeepsOldFileAndReportsIt) {
  testing::TempDir data;
  const auto old_file = fileWithListSize(1);
  testing::writeBytes(data.file("dTunora.dat"), old_file);
  Settings fresh;
  fresh.set(kListSize, 9);
  // Writes past 3000 bytes fail the way a full disk does.
  const int exit_code = testing::childExit(
      [&] {
        const Status status = saveSettings(fresh, data.folder(), {});
        return status.code() == Status::Code::kNoSpace ? 7 : 1;
      },
      3000);
  EXPECT_EQ(exit_code, 7);
  EXPECT_EQ(testing::readBytes(data.file("dTunora.dat")), old_file);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.folder()), {}), 1);
}

}  // namespace
}  // namespace tunora

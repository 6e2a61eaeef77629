// What a save adds to the record (the window's placement and column widths), the state's play
// list beside it, the filler's own file when it is short or missing, and the data folder's write
// check.
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
  std::vector<uint8_t> expected(7008, 0);
  const char header[] = "TUNO1401";
  std::copy(header, header + 8, expected.begin());
  expected[8 + 4298] = 44;  // placement kept
  expected[8 + 732] = 1;
  expected[8 + 736] = 2;
  expected[8 + 740] = 3;
  expected[8 + 744] = 4;
  expected[8 + 749] = 1;  // 0x100
  EXPECT_EQ(readBytes(data.file("dTunora.dat")), expected);

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

TEST(SettingsFileTest, FailedSaveLeavesPlayListAndReportsIt) {
  Settings s;
  FakePlayList list;
  list.prepared = 5;
  const Status status = saveSettings(s, "/nonexistent/folder/", {nullptr, &list});
  EXPECT_FALSE(status.ok());
  EXPECT_TRUE(list.written.empty());
}

TEST(SettingsFileTest, ShortFillerFileFillsWhatItHasWhateverItsHeader) {
  TempDir data;
  writeBytes(data.file("dTnFill.dat"), {'J', 'U', 'N', 'K', 'J', 'U', 'N', 'K', 7, 0, 0, 0, 9});
  Settings loaded;
  loaded.set(IntField{5778 + 4}, 0x12345678);
  EXPECT_TRUE(loadFillerSettings(data.folder(), loaded));
  EXPECT_EQ(loaded.get(IntField{5778}), 7);
  EXPECT_EQ(loaded.get(IntField{5778 + 4}), 0x12345609);
  EXPECT_EQ(loaded.get(kListSize), 0);
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

}  // namespace
}  // namespace tunora

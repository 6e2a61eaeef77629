// The settings file container: the version check, where the file is looked for, short files,
// the bytes a save writes, the play-list step, and the filler's own file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/filler_settings_file.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora {
namespace {

using namespace settings;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

int check(const std::string& header) {
  return checkSettingsVersion(std::span(reinterpret_cast<const uint8_t*>(header.data()),
                                        header.size()));
}

TEST(SettingsFileTest, VersionCheck) {
  EXPECT_EQ(check("TUNO1401"), 1000);
  EXPECT_EQ(check("TUNO1400"), 400);
  EXPECT_EQ(check("TUNO1350"), 350);
  EXPECT_EQ(check("TUNO1041"), 41);
  EXPECT_EQ(check("TUNO1 42"), 42);
  EXPECT_EQ(check("TUNO14x1"), 4);
  EXPECT_EQ(check("TUNO1xyz"), 0);
  EXPECT_EQ(check("TUNO140"), 40);  // a file cut inside the version
  EXPECT_EQ(check("TUNO1"), 0);
  // Whatever follows, a header that does not start with "TUNO1" is unrecognised.
  EXPECT_EQ(check("TUNO2401"), 1001);
  EXPECT_EQ(check("TUNO"), 1001);
  EXPECT_EQ(check(""), 1001);
  EXPECT_EQ(check(std::string("TUNO\0" "401", 8)), 1001);
}

TEST(SettingsFileTest, DataDirectoryFirstThenProgramDirectory) {
  TempDir data, program;
  Settings s;
  EXPECT_FALSE(loadSettings(data.folder(), program.folder(), s).found);

  std::vector<uint8_t> record(7000, 0);
  record[8] = 42;
  writeBytes(program.file("dTunora.dat"), testing::settingsFileBytes("TUNO1400", record));
  SettingsLoadResult r = loadSettings(data.folder(), program.folder(), s);
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.version, 400);
  EXPECT_EQ(r.path, program.file("dTunora.dat"));
  EXPECT_EQ(s.get(kListSize), 42);

  record[8] = 43;
  writeBytes(data.file("dTunora.dat"), testing::settingsFileBytes("TUNO1401", record));
  r = loadSettings(data.folder(), program.folder(), s);
  EXPECT_EQ(r.path, data.file("dTunora.dat"));
  EXPECT_EQ(s.get(kListSize), 43);
}

TEST(SettingsFileTest, ShortFileIsReadAsFarAsItGoes) {
  TempDir data;
  Settings s;
  s.storeBytes(0, std::vector<uint8_t>(settings::kRecordSize, 0xEE));
  // Header and the first 10 record bytes.
  writeBytes(data.file("dTunora.dat"),
             {'T', 'U', 'N', 'O', '1', '4', '0', '1', 1, 0, 0, 0, 2, 0, 0, 0, 3, 0});
  const SettingsLoadResult r = loadSettings(data.folder(), data.folder(), s);
  EXPECT_EQ(r.version, 1000);
  EXPECT_EQ(r.record_bytes, 10u);
  EXPECT_EQ(s.get(kCoverArt), 1);
  EXPECT_EQ(s.get(kCurrentState), 2);
  EXPECT_EQ(s.image()[8], 3);
  EXPECT_EQ(s.image()[10], 0xEE);
  EXPECT_EQ(s.image()[6999], 0xEE);

  writeBytes(data.file("dTunora.dat"), {});
  EXPECT_EQ(loadSettings(data.folder(), data.folder(), s).version, 1001);
  EXPECT_EQ(s.image()[0], 1);
}

TEST(SettingsFileTest, ADirectoryInTheFilesPlaceIsNoFile) {
  TempDir data;
  ASSERT_EQ(::mkdir(data.file("dTunora.dat").c_str(), 0700), 0);
  Settings s;
  EXPECT_FALSE(loadSettings(data.folder(), data.folder(), s).found);
}

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
  list.prepared = 5;
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

TEST(SettingsFileTest, FailedSaveLeavesPlayListAndReportsIt) {
  Settings s;
  FakePlayList list;
  list.prepared = 5;
  const Status status = saveSettings(s, "/nonexistent/folder/", {nullptr, &list});
  EXPECT_FALSE(status.ok());
  EXPECT_TRUE(list.written.empty());
}

TEST(SettingsFileTest, FillerFileHoldsTheBlockAlone) {
  TempDir data;
  Settings s;
  s.set(IntField{5778}, 3);
  s.set(IntField{5778 + 996}, 0x0A0B0C0D);
  s.set(kListSize, 77);  // outside the block: not saved there
  ASSERT_TRUE(saveFillerSettings(s, data.folder()).ok());
  std::vector<uint8_t> expected(1008, 0);
  const char header[] = "TUNO1401";
  std::copy(header, header + 8, expected.begin());
  expected[8] = 3;
  expected[8 + 996] = 0x0D;
  expected[8 + 997] = 0x0C;
  expected[8 + 998] = 0x0B;
  expected[8 + 999] = 0x0A;
  EXPECT_EQ(readBytes(data.file("dTnFill.dat")), expected);

  // The header is not checked; a short file fills what it has.
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
  EXPECT_EQ(s.get(IntField{5778 + 60}), 1);  // "Add Number"
}

}  // namespace
}  // namespace tunora

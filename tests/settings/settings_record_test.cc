// The settings record: fields at their offsets, little-endian words, text slots, and the bytes
// no field names kept exactly through a load and a save.
#include <gtest/gtest.h>

#include <vector>

#include "settings/filler_layout.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora {
namespace {

using namespace settings;
using testing::putWord;

std::vector<uint8_t> at(const Settings& s, size_t offset, size_t n) {
  const auto image = s.image();
  return std::vector<uint8_t>(image.begin() + offset, image.begin() + offset + n);
}

TEST(SettingsRecordTest, WordsAreLittleEndianAtTheirOffsets) {
  Settings s;
  s.set(kListSize, 100);
  s.set(kEditQueueCount, -1);
  s.set(kStateUser, 3, 0x01020304);
  s.set(kWindowPlacement, 10, 0x7F);
  s.set(kBufferLevel, 100);
  s.set(kFillAddNumber, 1);
  EXPECT_EQ(at(s, 8, 4), (std::vector<uint8_t>{0x64, 0, 0, 0}));
  EXPECT_EQ(at(s, 5722, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(at(s, 5474 + 12, 4), (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(at(s, 4298 + 40, 4), (std::vector<uint8_t>{0x7F, 0, 0, 0}));
  EXPECT_EQ(at(s, 6462, 4), (std::vector<uint8_t>{100, 0, 0, 0}));
  EXPECT_EQ(at(s, 5778 + 60, 4), (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST(SettingsRecordTest, ReadsHandBuiltRecord) {
  std::vector<uint8_t> record(7000, 0);
  putWord(record, 0, 1);             // CoverArt
  putWord(record, 2354, 1000);       // TargetValue
  putWord(record, 2314 + 36, 512);   // RatingValue[9]
  putWord(record, 5634 + 36, 7);     // StateNoArtRep[9]
  putWord(record, 5746, 0xFFFFFFFE); // PlayM4a
  const char kName[] = "Evil";
  std::copy(kName, kName + 4, record.begin() + 1264 + 8 * 50);
  Settings s;
  ASSERT_EQ(decodeSettingsFile(testing::settingsFileBytes("TUNO1401", record), s), 1000);
  EXPECT_EQ(s.get(kCoverArt), 1);
  EXPECT_EQ(s.get(kTargetValue), 1000);
  EXPECT_EQ(s.get(kRatingValue, 9), 512);
  EXPECT_EQ(s.get(kStateNoArtRep, 9), 7);
  EXPECT_EQ(s.get(kPlayM4a), -2);
  EXPECT_EQ(s.text(kAltName, 8), "Evil");
}

TEST(SettingsRecordTest, TextSlotsCutAndClear) {
  Settings s;
  s.storeBytes(764 + 10, std::vector<uint8_t>{'x'});  // an old longer text in the first user's slot
  s.setText(kUserName, 0, "Ann");
  EXPECT_EQ(at(s, 764, 5), (std::vector<uint8_t>{'A', 'n', 'n', 0, 0}));
  EXPECT_EQ(s.image()[764 + 10], 0);
  s.setText(kUserName, 1, std::string(80, 'y'));  // cut to 49 bytes and a NUL
  EXPECT_EQ(s.text(kUserName, 1), std::string(49, 'y'));
  EXPECT_EQ(s.image()[814 + 49], 0);
  EXPECT_EQ(s.image()[864], 0);  // the third slot untouched
  // A slot without a NUL reads whole, and no further.
  s.storeBytes(764 + 9 * 50, std::vector<uint8_t>(50, 'z'));
  s.setText(kAltName, 0, "Single");
  EXPECT_EQ(s.text(kUserName, 9), std::string(50, 'z'));
}

TEST(SettingsRecordTest, IndexOutsideAnArrayReadsZeroAndWritesNothing) {
  Settings s;
  s.set(kStateUser, 10, 5);  // would be StateAltMode[0]
  EXPECT_EQ(s.get(kStateAltMode, 0), 0);
  s.set(kStateAltMode, 0, 9);
  EXPECT_EQ(s.get(kStateUser, 10), 0);
  s.setText(kStateName, 10, "Nope");
  EXPECT_EQ(s.text(kStateName, 10), "");
  s.set(kCurrentState, 12345);
  EXPECT_EQ(s.stateValue(kStateAltMode), 0);
  s.set(kCurrentState, 0);
  EXPECT_EQ(s.stateValue(kStateAltMode), 9);
}

TEST(SettingsRecordTest, LoadThenSaveKeepsEveryByte) {
  testing::TempDir dir;
  std::vector<uint8_t> record(7000);
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i * 7 + 3);
  putWord(record, 4, 2);  // CurrentState within range, so the save also handles a play list
  const auto file = testing::settingsFileBytes("TUNO1401", record);
  testing::writeBytes(dir.file("dTunora.dat"), file);

  Settings s;
  const SettingsLoadResult loaded = loadSettings(dir.folder(), "/nonexistent/", s);
  ASSERT_TRUE(loaded.found);
  EXPECT_EQ(loaded.version, 1000);
  EXPECT_EQ(loaded.record_bytes, 7000u);
  ASSERT_TRUE(saveSettings(s, dir.folder(), {}).ok());
  EXPECT_EQ(testing::readBytes(dir.file("dTunora.dat")), file);
}

}  // namespace
}  // namespace tunora

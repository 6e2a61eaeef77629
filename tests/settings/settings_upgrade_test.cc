// Upgrades of settings files from older versions, each from a hand-built file.
#include <gtest/gtest.h>

#include <vector>

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "settings/settings_upgrade.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora {
namespace {

using testing::putWord;

uint32_t word(const Settings& s, size_t offset) {
  const auto image = s.image();
  const auto* p = image.data() + offset;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// A record whose every byte is 0x11, with the old 3xx single values set.
std::vector<uint8_t> oldRecord() {
  std::vector<uint8_t> record(7000, 0x11);
  putWord(record, 652, 7);   // old current user
  putWord(record, 728, 2);   // old naughty limit
  putWord(record, 2370, 5);  // old minimum rating
  putWord(record, 2374, 0);  // old "No Art Rep"
  return record;
}

struct Upgraded {
  int version;
  UpgradeResult result;
  Settings settings;
};

Upgraded upgradeFile(const std::string& header) {
  Upgraded u;
  u.version = decodeSettingsFile(testing::settingsFileBytes(header, oldRecord()), u.settings);
  u.result = upgradeSettings(u.settings, u.version);
  return u;
}

TEST(SettingsUpgradeTest, Version400TurnsTheBufferOn) {
  const Upgraded u = upgradeFile("TUNO1400");
  EXPECT_EQ(u.version, 400);
  EXPECT_FALSE(u.result.not_upgradable || u.result.show_welcome || u.result.copy_old_playlist);
  EXPECT_EQ(word(u.settings, 5714), 1u);
  EXPECT_EQ(word(u.settings, 5718), 150u);
  EXPECT_EQ(word(u.settings, 5722), 0xFFFFFFFFu);
  EXPECT_EQ(word(u.settings, 5738), 1u);
  EXPECT_EQ(word(u.settings, 5726), 0u);
  EXPECT_EQ(word(u.settings, 5730), 0u);
  EXPECT_EQ(word(u.settings, 4), 0x11111111u);  // no state reset
}

TEST(SettingsUpgradeTest, Version3xxMovesTheOldValuesIntoStateZero) {
  const Upgraded u = upgradeFile("TUNO1350");
  EXPECT_EQ(u.version, 350);
  EXPECT_TRUE(u.result.copy_old_playlist);
  EXPECT_FALSE(u.result.show_welcome);
  EXPECT_EQ(word(u.settings, 4), 0u);            // state reset ran
  EXPECT_EQ(word(u.settings, 5554), 2u);         // naughty limit
  EXPECT_EQ(word(u.settings, 5594), 5u);         // minimum rating
  EXPECT_EQ(word(u.settings, 5474), 7u);         // user
  EXPECT_EQ(word(u.settings, 5634), 0u);         // "No Art Rep"
  EXPECT_EQ(word(u.settings, 5634 + 4), 1u);     // other states reset
  EXPECT_EQ(word(u.settings, 5714), 0u);         // Buffer off
  EXPECT_TRUE(upgradeFile("TUNO1300").result.copy_old_playlist);
  EXPECT_TRUE(upgradeFile("TUNO1399").result.copy_old_playlist);
}

TEST(SettingsUpgradeTest, BelowThreeHundredCannotBeUpgraded) {
  for (const char* header : {"TUNO1299", "TUNO1000", "TUNO1abc", "TUNO1-50"}) {
    const Upgraded u = upgradeFile(header);
    EXPECT_TRUE(u.result.not_upgradable) << header;
    EXPECT_EQ(word(u.settings, 4), 0x11111111u) << header;
  }
}

TEST(SettingsUpgradeTest, UnrecognisedAndNewerFilesResetTheStatesOnly) {
  for (const char* header : {"XUNO1401", "tuno1401", "TUNO1402", "TUNO1999"}) {
    const Upgraded u = upgradeFile(header);
    EXPECT_TRUE(u.result.show_welcome) << header;
    EXPECT_FALSE(u.result.copy_old_playlist || u.result.not_upgradable) << header;
    EXPECT_EQ(word(u.settings, 4), 0u) << header;
    EXPECT_EQ(word(u.settings, 5474), 0u) << header;  // old user not taken over
    EXPECT_EQ(word(u.settings, 0), 0x11111111u) << header;
  }
}

TEST(SettingsUpgradeTest, CurrentVersionChangesNothing) {
  Upgraded u = upgradeFile("TUNO1401");
  EXPECT_EQ(u.version, 1000);
  Settings untouched;
  (void)decodeSettingsFile(testing::settingsFileBytes("TUNO1401", oldRecord()), untouched);
  EXPECT_EQ(u.settings, untouched);
  EXPECT_FALSE(u.result.not_upgradable || u.result.show_welcome || u.result.copy_old_playlist);
}

}  // namespace
}  // namespace tunora

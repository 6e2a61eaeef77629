// Upgrades of settings files from older versions, each from a hand-built file whose every byte
// is 0x11 but for the old 3xx single values.
#include "settings/settings_upgrade.h"

#include <gtest/gtest.h>

#include <vector>

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora {
namespace {

using testing::putWord;

TEST(SettingsUpgradeTest, EachVersionUpgradesItsOwnWay) {
  std::vector<uint8_t> record(7000, 0x11);
  putWord(record, 652, 7);   // old current user
  putWord(record, 728, 2);   // old naughty limit
  putWord(record, 2370, 5);  // old minimum rating
  putWord(record, 2374, 0);  // old "No Art Rep"
  const uint32_t kept = 0x11111111u;
  struct Case {
    const char* header;
    bool not_upgradable, welcome, old_playlist;
    // (offset, word) after the upgrade: the current state, state 0's user, naughty limit,
    // minimum rating and "No Art Rep", state 1's "No Art Rep", Buffer, buffer size, edit queue
    // count, auto rate, shutdown, auto-rate speed, and the cover-art word no upgrade touches.
    std::vector<std::pair<size_t, uint32_t>> words;
  };
  const std::vector<std::pair<size_t, uint32_t>> untouched = {
      {4, kept}, {5474, kept}, {5714, kept}};
  const std::vector<std::pair<size_t, uint32_t>> state_reset = {
      {4, 0},    {5474, 0},   {5554, 0},           {5594, 0}, {5634, 1},
      {5714, 0}, {5718, 150}, {5722, 0xFFFFFFFFu}, {0, kept}};
  // clang-format off
  const Case cases[] = {
      {"TUNO1401", false, false, false, untouched},
      {"TUNO1400", false, false, false,
       {{4, kept}, {5714, 1}, {5718, 150}, {5722, 0xFFFFFFFFu}, {5726, 0}, {5730, 0}, {5738, 1}}},
      {"TUNO1350", false, false, true,
       {{4, 0}, {5474, 7}, {5554, 2}, {5594, 5}, {5634, 0}, {5638, 1}, {5714, 0}}},
      {"TUNO1300", false, false, true, {{5474, 7}}},
      {"TUNO1399", false, false, true, {{5474, 7}}},
      {"TUNO1299", true, false, false, untouched},  {"TUNO1000", true, false, false, untouched},
      {"TUNO1abc", true, false, false, untouched},  {"TUNO1-50", true, false, false, untouched},
      {"XUNO1401", false, true, false, state_reset}, {"tuno1401", false, true, false, state_reset},
      {"TUNO1402", false, true, false, state_reset}, {"TUNO1999", false, true, false, state_reset},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    Settings s;
    const int version = decodeSettingsFile(testing::settingsFileBytes(c.header, record), s);
    const UpgradeResult r = upgradeSettings(s, version);
    EXPECT_EQ(r.not_upgradable, c.not_upgradable);
    EXPECT_EQ(r.show_welcome, c.welcome);
    EXPECT_EQ(r.copy_old_playlist, c.old_playlist);
    const auto image = s.image();
    for (const auto& [offset, word] : c.words) {
      const uint32_t got = image[offset] | image[offset + 1] << 8 | image[offset + 2] << 16 |
                           static_cast<uint32_t>(image[offset + 3]) << 24;
      EXPECT_EQ(got, word) << "offset " << offset;
    }
  }
  // The current version changes no byte at all.
  Settings current, untouched_settings;
  (void)decodeSettingsFile(testing::settingsFileBytes("TUNO1401", record), current);
  untouched_settings = current;
  (void)upgradeSettings(current, 1000);
  EXPECT_TRUE(current == untouched_settings);
}

}  // namespace
}  // namespace tunora

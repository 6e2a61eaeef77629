// The full reset, the state reset and the rating-value presets: what each touches and what it
// keeps, at the record's byte offsets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "settings/settings_defaults.h"

namespace tunora {
namespace {

uint32_t word(const Settings& s, size_t offset) {
  const auto image = s.image();
  const auto* p = image.data() + offset;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string slot(const Settings& s, size_t offset, size_t size) {
  const auto image = s.image();
  return std::string(reinterpret_cast<const char*>(image.data() + offset), size);
}

std::string padded(const char* text, size_t size) {
  std::string out(text);
  out.resize(size, '\0');
  return out;
}

TEST(SettingsDefaultsTest, FullResetKeepsTheKeptFields) {
  Settings s;
  s.storeBytes(0, std::vector<uint8_t>(settings::kRecordSize, 0x5A));
  resetAll(s);
  for (size_t offset : {32u, 640u, 652u, 2314u, 2354u, 2358u, 2382u, 2418u, 2858u, 4298u, 4366u,
                        5678u, 5858u, 6462u, 6465u, 6999u}) {
    EXPECT_EQ(s.image()[offset], 0x5A) << "offset " << offset;
  }
  // The filler block's unused bytes become 0; the buffer level inside it stays.
  EXPECT_EQ(s.image()[5778 + 64], 0);
  EXPECT_EQ(s.image()[5778 + 680], 0);
  EXPECT_EQ(s.image()[5778 + 999], 0);
  EXPECT_EQ(word(s, 5778 + 40), 0u);  // state 0's naughty limit after the state reset
}

TEST(SettingsDefaultsTest, StateResetTouchesOnlyTheStateWords) {
  Settings s;
  s.storeBytes(0, std::vector<uint8_t>(settings::kRecordSize, 0x33));
  resetStates(s);
  EXPECT_EQ(word(s, 4), 0u);
  EXPECT_EQ(word(s, 5734), 0u);
  EXPECT_EQ(slot(s, 4974 + 3 * 50, 50), padded("Kids", 50));
  for (size_t state = 0; state < 10; ++state) {
    EXPECT_EQ(word(s, 5474 + 4 * state), 0u);
    EXPECT_EQ(word(s, 5514 + 4 * state), 0u);
    EXPECT_EQ(word(s, 5554 + 4 * state), 0u);
    EXPECT_EQ(word(s, 5594 + 4 * state), 0u);
    EXPECT_EQ(word(s, 5634 + 4 * state), 1u);
    EXPECT_EQ(word(s, 5674 + 4 * state), 0x33333333u);  // History is not part of it
  }
  EXPECT_EQ(word(s, 5714), 0u);
  EXPECT_EQ(word(s, 5718), 150u);
  EXPECT_EQ(word(s, 5722), 0xFFFFFFFFu);
  EXPECT_EQ(word(s, 5726), 0u);
  EXPECT_EQ(word(s, 5730), 0u);
  EXPECT_EQ(word(s, 5738), 1u);
  EXPECT_EQ(word(s, 5742), 1u);
  EXPECT_EQ(word(s, 5746), 0u);
  EXPECT_EQ(word(s, 0), 0x33333333u);
  EXPECT_EQ(s.image()[5778], 0x33);
}

TEST(SettingsDefaultsTest, AlternateThenDefaultRestoresTheDefaultPreset) {
  Settings s;
  alternateRatingValues(s);
  const uint32_t alternate[10] = {1, 4, 8, 16, 32, 64, 128, 256, 512, 1024};
  for (size_t k = 0; k < 10; ++k) EXPECT_EQ(word(s, 2314 + 4 * k), alternate[k]);
  EXPECT_EQ(word(s, 2354), 2000u);
  EXPECT_EQ(word(s, 2358), 32u);
  resetRatingValues(s);
  for (size_t k = 0; k < 10; ++k) EXPECT_EQ(word(s, 2314 + 4 * k), 1u << k);
  EXPECT_EQ(word(s, 2354), 1000u);
  EXPECT_EQ(word(s, 2358), 16u);
}

TEST(SettingsDefaultsTest, FillerDefaultsFollowTheMainSettings) {
  Settings s;
  resetAll(s);
  s.set(settings::kPlayWav, 0);
  s.set(settings::kPlayAll, 1);
  s.set(settings::kStateMinRating, 0, 6);
  s.set(settings::kStateUser, 0, 4);
  s.setText(settings::TextField{5778 + 80, 600}, "/media/player");
  applyFillerDefaults(s);
  EXPECT_EQ(word(s, 5778 + 12), 0u);  // WAV
  EXPECT_EQ(word(s, 5778 + 36), 1u);  // All
  EXPECT_EQ(word(s, 5778 + 44), 6u);  // minimum rating
  EXPECT_EQ(word(s, 5778 + 48), 4u);  // user
  EXPECT_EQ(slot(s, 5778 + 80, 14), std::string("/media/player\0", 14));  // kept
}

}  // namespace
}  // namespace tunora

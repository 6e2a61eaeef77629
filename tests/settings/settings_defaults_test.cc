// The full reset, the state reset, the filler's defaults and the rating-value presets, each
// compared with the whole record image built here from a table of every default.
#include "settings/settings_defaults.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora {
namespace {

using Image = std::vector<uint8_t>;
using testing::putWord;

struct Words {  // `count` words from `offset` on, all `value`
  uint32_t offset, count;
  int32_t value;
};
struct Names {  // ten 50-byte name slots from `offset` on
  uint32_t offset;
  std::vector<std::string> names;
};

// What the state reset sets: the current state, each state's words, and the words from Buffer
// to M4A.
const std::vector<Words> kStateWords = {{4, 1, 0},     {5474, 10, 0}, {5514, 10, 0}, {5554, 10, 0},
                                        {5594, 10, 0}, {5634, 10, 1}, {5714, 1, 0},  {5718, 1, 150},
                                        {5722, 1, -1}, {5726, 1, 0},  {5730, 1, 0},  {5734, 1, 0},
                                        {5738, 1, 1},  {5742, 1, 1},  {5746, 1, 0}};
const Names kStateNames = {
    4974, {"Normal", "Loud", "Late", "Kids", "Party", "Pump", "Her", "Him", "Extra1", "Extra2"}};

// What the full reset sets besides, the filler block's defaults included (its unused words 0).
const std::vector<Words> kOtherWords = {
    {0, 1, 1},     {8, 1, 100},    {12, 1, 0},    {16, 1, 1},   {20, 1, 0},   {24, 1, 0},
    {28, 1, 1},    {632, 1, 1},    {636, 1, 0},   {660, 1, 0},  {664, 1, 0},  {672, 8, 1},
    {732, 2, 150}, {740, 1, 250},  {744, 1, 60},  {748, 1, 30}, {2366, 1, 1}, {2378, 1, -1},
    {4346, 1, 0},  {4350, 1, 500}, {4354, 1, 11}, {4358, 1, 1}, {4362, 1, 1}, {4966, 1, 0},
    {4970, 1, 1},  {5674, 1, 1},   {5778, 1, 5},  {5782, 8, 1}, {5814, 6, 0}, {5838, 1, 1},
    {5842, 4, 0},  {6458, 1, 0},   {6466, 78, 0}};
const std::vector<Names> kOtherNames = {
    {764, {"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten"}},
    {1264, {"Single", "Two", "More2", "More1", "Triple", "Trip2", "Trip3", "Lucky", "Evil", "Odd"}},
    {1814, {"12", "122", "112", "123", "456", "789", "777", "666", "135", ""}},
};

void apply(Image& image, const std::vector<Words>& words, const std::vector<Names>& names) {
  for (const Words& w : words) {
    for (uint32_t i = 0; i < w.count; ++i) putWord(image, w.offset + 4 * i, w.value);
  }
  for (const Names& n : names) {
    for (size_t i = 0; i < n.names.size(); ++i) {
      std::fill_n(image.begin() + n.offset + 50 * i, 50, 0);
      std::copy(n.names[i].begin(), n.names[i].end(), image.begin() + n.offset + 50 * i);
    }
  }
}

// The offsets at which the settings differ from the image, for the failure message.
std::string differences(const Settings& s, const Image& expected) {
  const auto image = s.image();
  std::string out;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (image[i] != expected[i]) out.append(1, ' ').append(std::to_string(i));
  }
  return out;
}

Settings filled(uint8_t byte) {
  Settings s;
  s.storeBytes(0, Image(settings::kRecordSize, byte));
  return s;
}

// Each reset over a record whose every byte is `fill`: the defaults it sets, every other byte kept.
TEST(SettingsDefaultsTest, FullAndStateResetsSetTheirDefaultsAndKeepTheRest) {
  for (const bool full : {true, false}) {
    SCOPED_TRACE(full ? "full reset" : "state reset");
    const uint8_t fill = full ? 0x5A : 0x33;
    Settings s = filled(fill);
    full ? resetAll(s) : resetStates(s);
    Image expected(settings::kRecordSize, fill);
    apply(expected, kStateWords, {kStateNames});
    if (full) apply(expected, kOtherWords, kOtherNames);
    EXPECT_EQ(differences(s, expected), "") << "offsets that differ";
  }
}

TEST(SettingsDefaultsTest, FillerDefaultsFollowTheMainSettings) {
  Settings s = filled(0);
  // Each main value different, so that a value taken from the wrong field shows.
  const settings::IntField types[] = {settings::kPlayMp3,  settings::kPlayAvi,  settings::kPlayWav,
                                      settings::kPlayMpeg, settings::kPlayMidi, settings::kPlayWma,
                                      settings::kPlayAsf,  settings::kPlayWmv};
  for (int32_t i = 0; i < 8; ++i) s.set(types[i], 11 + i);
  s.set(settings::kPlayAll, 21);
  s.set(settings::kStateNaughtyLimit, 0, 22);
  s.set(settings::kStateMinRating, 0, 23);
  s.set(settings::kStateUser, 0, 24);
  s.set(settings::kStateAltMode, 0, 25);
  s.set(settings::kStateUser, 1, 99);  // only state 0's count
  s.setText(settings::TextField{5778 + 80, 600}, "/media/player");
  applyFillerDefaults(s);
  for (int32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(s.get(settings::IntField{5782 + 4 * static_cast<uint32_t>(i)}), 11 + i)
        << "type " << i;
  }
  for (int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(s.get(settings::IntField{5814 + 4 * static_cast<uint32_t>(i)}), 21 + i)
        << "word " << i;
  }
  EXPECT_EQ(s.text(settings::TextField{5778 + 80, 600}), "/media/player");  // kept
}

TEST(SettingsDefaultsTest, AlternateThenDefaultRestoresTheDefaultPreset) {
  Settings s = filled(0x44);
  alternateRatingValues(s);
  Image expected(settings::kRecordSize, 0x44);
  const int32_t alternate[] = {1, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2000, 32};
  for (uint32_t k = 0; k < 12; ++k) putWord(expected, 2314 + 4 * k, alternate[k]);
  EXPECT_EQ(differences(s, expected), "") << "alternate preset";
  resetRatingValues(s);
  for (uint32_t k = 0; k < 10; ++k) putWord(expected, 2314 + 4 * k, 1u << k);
  apply(expected, {{2354, 1, 1000}, {2358, 1, 16}}, {});
  EXPECT_EQ(differences(s, expected), "") << "default preset";
}

}  // namespace
}  // namespace tunora

// The filler window's form: its values land at their places in the filler block (bytes placed by
// hand), a damaged block shows sane combo entries, the output folder rules.
#include "filler/filler_form.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "settings/settings_layout.h"

namespace tunora::filler {
namespace {

std::array<uint8_t, 1000> blockOf(const Settings& s) {
  const auto image = s.image();
  std::array<uint8_t, 1000> block{};
  std::memcpy(block.data(), image.data() + 5778, block.size());
  return block;
}

void putInt(std::array<uint8_t, 1000>& block, size_t at, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) block[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

TEST(FillerFormTest, TheFormIsStoredAtItsPlacesInTheBlockAndReadBack) {
  FillerForm form;
  form.size_index = 6;
  form.types = {true, false, true, false, true, false, true, true};
  form.all = true;
  form.naughty_limit = 3;
  form.min_rating = 10;
  form.user = 7;
  form.alt_mode = 9;
  form.empty_dir = true;
  form.add_number = false;
  form.output_dir = "/media/stick/Music";
  Settings s;
  storeFillerForm(form, s);

  std::array<uint8_t, 1000> expected{};
  putInt(expected, 0, 6);
  const std::array<int32_t, 8> types = {1, 0, 1, 0, 1, 0, 1, 1};
  for (size_t i = 0; i < types.size(); ++i) putInt(expected, 4 + 4 * i, types[i]);
  putInt(expected, 36, 1);
  putInt(expected, 40, 3);
  putInt(expected, 44, 10);
  putInt(expected, 48, 7);
  putInt(expected, 52, 9);
  putInt(expected, 56, 1);
  putInt(expected, 60, 0);
  std::memcpy(expected.data() + 80, "/media/stick/Music", 18);
  EXPECT_EQ(blockOf(s), expected);
  EXPECT_EQ(fillerFormOf(s), form);

  // A long folder is cut to the 600-byte slot with its NUL.
  form.output_dir = "/" + std::string(700, 'x');
  storeFillerForm(form, s);
  EXPECT_EQ(fillerFormOf(s).output_dir.size(), 599u);
  EXPECT_EQ(blockOf(s)[80 + 599], 0);
}

TEST(FillerFormTest, IndexesOutOfRangeShowTheFirstEntryOrTheDefaultSize) {
  Settings s;
  FillerForm form;
  form.size_index = 2;
  storeFillerForm(form, s);
  Settings damaged = s;
  std::array<uint8_t, 4> bad = {0xff, 0xff, 0xff, 0x7f};
  for (size_t at : {0u, 40u, 44u, 48u, 52u}) damaged.storeBytes(5778 + at, bad);
  const FillerForm shown = fillerFormOf(damaged);
  EXPECT_EQ(shown.size_index, 5);  // "4 GB"
  EXPECT_EQ(shown.naughty_limit, 0);
  EXPECT_EQ(shown.min_rating, 0);
  EXPECT_EQ(shown.user, 0);
  EXPECT_EQ(shown.alt_mode, 0);
  std::array<uint8_t, 4> negative = {0xff, 0xff, 0xff, 0xff};
  damaged.storeBytes(5778 + 44, negative);
  damaged.storeBytes(5778 + 0, negative);
  EXPECT_EQ(fillerFormOf(damaged).min_rating, 0);
  EXPECT_EQ(fillerFormOf(damaged).size_index, 5);
}

TEST(FillerFormTest, TheOutputFolderMustBeAFullPathAndADroppedOneHoldNoDot) {
  EXPECT_EQ(outputFolderRefusal(""), "No output folder is given");
  EXPECT_EQ(outputFolderRefusal("Music"),
            "Music: the output folder must be a full path (from \"/\")");
  EXPECT_FALSE(outputFolderRefusal("/media/stick"));
  EXPECT_FALSE(outputDirOpenable("/x"));
  EXPECT_TRUE(outputDirOpenable("/xy"));
  EXPECT_EQ(droppedOutputFolder("/media/stick/Music", true), "/media/stick/Music");
  EXPECT_EQ(droppedOutputFolder("/media/stick/Music/", true), "/media/stick/Music");
  EXPECT_EQ(droppedOutputFolder("/media/my.stick/Music", true), "/media/my.stick/Music");
  EXPECT_EQ(droppedOutputFolder("/", true), "/");
  EXPECT_FALSE(droppedOutputFolder("/media/stick/Music.old", true));
  EXPECT_FALSE(droppedOutputFolder("/media/stick/.hidden", true));
  EXPECT_FALSE(droppedOutputFolder("/home/u/song.mp3", false));
  EXPECT_FALSE(droppedOutputFolder("/home/u/README", false));  // a file, not a folder
  EXPECT_FALSE(droppedOutputFolder("", true));
}

}  // namespace
}  // namespace tunora::filler

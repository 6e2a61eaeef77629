// The filler window's form: its values land at their places in the filler block (bytes placed by
// hand), a damaged block shows sane combo entries, the output folder rules.
#include "filler/filler_form.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <iterator>

#include "settings/settings_layout.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora::filler {
namespace {

// The filler block (1000 bytes from 5778) of the settings.
std::vector<uint8_t> blockOf(const Settings& s) {
  const auto image = s.image();
  return std::vector<uint8_t>(image.begin() + 5778, image.begin() + 6778);
}

TEST(FillerFormTest, TheFormIsStoredAtItsPlacesInTheBlockAndReadBack) {
  // size, the eight types, all, naughty limit, minimum rating, user, alt mode, empty dir, add
  // number, the output folder
  FillerForm form{6,     {true, false, true, false, true, false, true, true},
                  true,  3,
                  10,    7,
                  9,     true,
                  false, "/media/stick/Music"};
  Settings s;
  storeFillerForm(form, s);
  // The same as words from offset 0 on, and the folder at 80.
  std::vector<uint8_t> expected(1000, 0);
  const int32_t words[] = {6, 1, 0, 1, 0, 1, 0, 1, 1, 1, 3, 10, 7, 9, 1, 0};
  for (size_t i = 0; i < std::size(words); ++i) testing::putWord(expected, 4 * i, words[i]);
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

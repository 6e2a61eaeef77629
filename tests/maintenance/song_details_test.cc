// The song details dialog's record logic: wrapping, Goto, Find, saving ratings as thresholds,
// the fixed user, and Delete.
#include "maintenance/song_details.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

constexpr RatingThresholds kDefault{1, 2, 4, 8, 16, 32, 64, 128, 256, 512};

TEST(SongDetailsTest, PreviousAndNextWrapOverLiveRecords) {
  SongLibrary lib(false);
  const int32_t a = lib.addPath("/m/a");
  const int32_t gone = lib.addPath("/m/b");
  const int32_t c = lib.addPath("/m/c");
  const int32_t d = lib.addPath("/m/d");
  lib.table().setStatus(gone, 5);
  EXPECT_EQ(previousRecord(lib.table(), a), d);
  EXPECT_EQ(previousRecord(lib.table(), c), a);
  EXPECT_EQ(nextRecord(lib.table(), a), c);
  EXPECT_EQ(nextRecord(lib.table(), d), a);
  // With the blank record live, slot 0 is one of the records walked over.
  SongLibrary blank;
  blank.addPath("/m/a");
  const int32_t b = blank.addPath("/m/b");
  EXPECT_EQ(previousRecord(blank.table(), 0), b);
  EXPECT_EQ(nextRecord(blank.table(), b), 0);
}

TEST(SongDetailsTest, GotoIgnoresZeroAndTextAndLimitsToTheLiveCount) {
  const std::pair<const char*, std::optional<int32_t>> rows[] = {{"0", std::nullopt},
                                                                 {"abc", std::nullopt},
                                                                 {"", std::nullopt},
                                                                 {"-3", std::nullopt},
                                                                 {"3", 3},
                                                                 {" 4 ", 4},
                                                                 {"99", 5},
                                                                 {"99999999999", std::nullopt}};
  for (const auto& [text, index] : rows) EXPECT_EQ(gotoIndex(text, 5), index) << text;
}

TEST(SongDetailsTest, FindAndFindMoreContinueFromTheShownRecord) {
  SongLibrary lib;
  const int32_t a = lib.add({.path = "/m/a", .title = "Love song"});
  lib.add({.path = "/m/b", .title = "Other"});
  const int32_t c = lib.add({.path = "/m/c", .artist = "LOVErs"});
  EXPECT_EQ(findRecord(lib.table(), "love", -1), a);
  EXPECT_EQ(findRecord(lib.table(), "love", a), c);
  EXPECT_EQ(findRecord(lib.table(), "love", c), std::nullopt);
}

TEST(SongDetailsTest, SavingWritesThresholdsAndElevenSavesZero) {
  SongLibrary lib;
  const int32_t s = lib.add({.path = "/m/a", .title = "T", .score = 100});
  lib.table().writeInt(s, ratingColumn(1), 600);
  lib.table().writeInt(s, ratingColumn(2), 3);
  lib.table().writeInt(s, kColFlags, 0xF0);
  SongFields f = loadFields(lib.table(), s, kDefault);
  EXPECT_EQ(f.ratings[0], 7);
  EXPECT_EQ(f.ratings[1], 10);
  EXPECT_EQ(f.ratings[2], 2);
  f.ratings[3] = 11;
  f.naughty = 2;
  f.lock = true;
  f.start_set = false;
  f.start = 500;
  f.end_set = true;
  f.end = 700;
  f.title = std::string(80, 'x');
  ASSERT_TRUE(saveFields(lib.table(), s, f, kDefault, false));
  EXPECT_EQ(lib.number(s, ratingColumn(0)), 64u);  // 100 lay between 64 and 128
  EXPECT_EQ(lib.number(s, ratingColumn(1)), 512u);
  EXPECT_EQ(lib.number(s, ratingColumn(2)), 2u);
  EXPECT_EQ(lib.number(s, ratingColumn(3)), 0u);
  EXPECT_EQ(lib.number(s, kColFlags), 0xF6u);  // bits above 2 kept
  EXPECT_EQ(lib.number(s, kColStartFrame), 0u);
  EXPECT_EQ(lib.number(s, kColEndFrame), 700u);
  EXPECT_EQ(lib.table().readText(s, kColTitle), std::string(63, 'x'));
}

TEST(SongDetailsTest, NothingIsSavedWithAFixedUser) {
  SongLibrary lib;
  const int32_t s = lib.add({.path = "/m/a", .title = "T", .score = 100});
  SongFields f = loadFields(lib.table(), s, kDefault);
  f.title = "changed";
  f.ratings[0] = 1;
  EXPECT_FALSE(saveFields(lib.table(), s, f, kDefault, true));
  EXPECT_EQ(lib.table().readText(s, kColTitle), "T");
  EXPECT_EQ(lib.number(s, ratingColumn(0)), 100u);
}

TEST(SongDetailsTest, LoadShowsTheFileSizeAndThePoints) {
  SongLibrary lib;
  const std::string file = lib.dir().file("a.mp3");
  testing::writeText(file, "12345");
  const int32_t s = lib.addPath(file);
  lib.table().writeInt(s, kColStartFrame, 40);
  SongFields f = loadFields(lib.table(), s, kDefault);
  EXPECT_EQ(f.file_size, 5u);
  EXPECT_TRUE(f.start_set);
  EXPECT_FALSE(f.end_set);
  EXPECT_EQ(loadFields(lib.table(), 0, kDefault).file_size, 0u);
}

TEST(SongDetailsTest, DeleteMovesTheFileAndShowsThePreviousSong) {
  SongLibrary lib;
  const std::string data = lib.dir().folder() + "data/";
  std::filesystem::create_directory(data);
  lib.addPath("/m/a");
  lib.addPath("/m/b");
  const int32_t c = lib.addPath("/m/c");
  const std::string file = lib.dir().file("song.mp3");
  testing::writeText(file, "abc");
  const int32_t d = lib.addPath(file);
  DeleteOutcome out = deleteSong(lib.table(), d);
  EXPECT_TRUE(out.deleted);
  EXPECT_EQ(out.path, file);
  EXPECT_FALSE(out.close_dialog);
  EXPECT_EQ(out.show, c);
  EXPECT_EQ(lib.status(d), 5);
  EXPECT_EQ(moveIntoDataDir(out.path, data), data + "song.mp3");
  EXPECT_EQ(testing::readBytes(data + "song.mp3"), std::vector<uint8_t>({'a', 'b', 'c'}));
  EXPECT_FALSE(std::filesystem::exists(file));

  // A file whose name the data folder holds already, or a missing one, stays where it is.
  testing::writeText(file, "second");
  const int32_t e = lib.addPath(file);
  out = deleteSong(lib.table(), e);
  EXPECT_TRUE(out.deleted);
  EXPECT_EQ(moveIntoDataDir(out.path, data), std::nullopt);
  EXPECT_EQ(testing::readBytes(file).size(), 6u);
  EXPECT_EQ(testing::readBytes(data + "song.mp3").size(), 3u);
  out = deleteSong(lib.table(), 1);
  EXPECT_EQ(moveIntoDataDir(out.path, data), std::nullopt);
  EXPECT_EQ(out.show, 0);
  // Deleting the only song closes the dialog.
  SongLibrary one;
  out = deleteSong(one.table(), one.addPath("/m/only"));
  EXPECT_TRUE(out.deleted);
  EXPECT_TRUE(out.close_dialog);
}

}  // namespace
}  // namespace tunora::maintenance

// The song details dialog's record logic: wrapping, Goto, saving ratings as thresholds,
// the fixed user, and Delete.
#include "maintenance/song_details.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>

#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

constexpr RatingThresholds kDefault{1, 2, 4, 8, 16, 32, 64, 128, 256, 512};

TEST(SongDetailsTest, PreviousNextAndGoto) {
  SongLibrary lib(false);
  lib.addPath("/m/0");  // takes slot 0, deleted below
  const int32_t a = lib.addPath("/m/a");
  lib.table().setStatus(lib.addPath("/m/b"), 5);
  const int32_t c = lib.addPath("/m/c");
  const int32_t d = lib.addPath("/m/d");
  lib.table().setStatus(0, 5);
  const std::tuple<int32_t, int32_t, int32_t> walks[] = {{a, d, c}, {c, a, d}, {d, c, a}};
  for (const auto& [from, previous, next] : walks) {
    EXPECT_EQ(previousRecord(lib.table(), from), previous) << from;
    EXPECT_EQ(nextRecord(lib.table(), from), next) << from;
  }
  // With the blank record live, slot 0 is one of the records walked over.
  SongLibrary blank;
  const int32_t b = blank.addPath("/m/b");
  EXPECT_EQ(previousRecord(blank.table(), 0), b);
  EXPECT_EQ(nextRecord(blank.table(), b), 0);
  const std::pair<const char*, std::optional<int32_t>> gotos[] = {
      {"0", std::nullopt}, {"abc", std::nullopt},         {" 4 ", 4},
      {"99", 5},           {"99999999999", std::nullopt},
  };
  for (const auto& [text, index] : gotos) EXPECT_EQ(gotoIndex(text, 5), index) << text;
}

TEST(SongDetailsTest, LoadAndSaveEveryFieldWithRatingsAsThresholds) {
  SongLibrary lib;
  const std::string file = lib.dir().file("a.mp3");
  testing::writeText(file, "12345");
  const int32_t s = lib.add({.path = file,
                             .title = "T",
                             .artist = "Ar",
                             .album = "Al",
                             .score = 100,
                             .plays = 9,
                             .flags = 0xF5,
                             .file_id = 77});
  lib.table().writeInt(s, ratingColumn(1), 600);
  lib.table().writeInt(s, ratingColumn(2), 3);
  lib.table().writeInt(s, kColStartFrame, 40);
  lib.table().writeInt(s, kColEndFrame, 90);
  lib.table().writeText(s, kColNote, "N");
  SongFields f = loadFields(lib.table(), s, kDefault);
  EXPECT_EQ(f.file_name, file);
  EXPECT_EQ(f.file_size, 5u);
  EXPECT_EQ(std::tie(f.title, f.artist, f.album, f.note), std::make_tuple("T", "Ar", "Al", "N"));
  EXPECT_EQ(std::tie(f.ratings[0], f.ratings[1], f.ratings[2]), std::make_tuple(7, 10, 2));
  EXPECT_EQ(std::tie(f.naughty, f.lock, f.play_count, f.file_id),
            std::make_tuple(1, true, 9u, 77u));
  EXPECT_EQ(std::tie(f.start_set, f.start, f.end_set, f.end),
            std::make_tuple(true, 40u, true, 90u));
  EXPECT_EQ(loadFields(lib.table(), 0, kDefault).file_size, 0u);
  EXPECT_FALSE(loadFields(lib.table(), 0, kDefault).start_set);

  // A fixed user saves nothing.
  f.title = "changed";
  EXPECT_FALSE(saveFields(lib.table(), s, f, kDefault, true));
  EXPECT_EQ(lib.table().readText(s, kColTitle), "T");
  f = {.file_name = "/m/new",
       .title = std::string(80, 'x'),
       .artist = "B",
       .album = "C",
       .note = "D",
       .naughty = 2,
       .lock = false,
       .start_set = false,
       .start = 500,
       .end_set = true,
       .end = 700};
  f.ratings = {7, 10, 2, 11};
  ASSERT_TRUE(saveFields(lib.table(), s, f, kDefault, false));
  const std::pair<int32_t, uint32_t> ints[] = {
      {ratingColumn(0), 64},  // 100 lay between 64 and 128
      {ratingColumn(1), 512}, {ratingColumn(2), 2},
      {ratingColumn(3), 0},   {kColFlags, 0xF2},  // bits above 2 kept
      {kColStartFrame, 0},    {kColEndFrame, 700}};
  for (const auto& [column, value] : ints) EXPECT_EQ(lib.number(s, column), value) << column;
  const std::pair<int32_t, std::string> texts[] = {{kColFileName, "/m/new"},
                                                   {kColTitle, std::string(63, 'x')},
                                                   {kColArtist, "B"},
                                                   {kColAlbum, "C"},
                                                   {kColNote, "D"}};
  for (const auto& [column, text] : texts)
    EXPECT_EQ(lib.table().readText(s, column), text) << column;
}

TEST(SongDetailsTest, DeleteMovesTheFileAndShowsThePreviousSong) {
  SongLibrary lib;
  const std::string data = lib.dir().folder() + "data/";
  std::filesystem::create_directory(data);
  lib.addPath("/m/a");
  const int32_t b = lib.addPath("/m/b");
  const std::string file = lib.dir().file("song.mp3");
  testing::writeText(file, "abc");
  const int32_t d = lib.addPath(file);
  DeleteOutcome out = deleteSong(lib.table(), d);
  EXPECT_TRUE(out.deleted && !out.close_dialog);
  EXPECT_EQ(out.path, file);
  EXPECT_EQ(out.show, b);
  EXPECT_EQ(lib.status(d), 5);
  EXPECT_EQ(moveIntoDataDir(out.path, data), data + "song.mp3");
  EXPECT_EQ(testing::readBytes(data + "song.mp3"), std::vector<uint8_t>({'a', 'b', 'c'}));
  EXPECT_FALSE(std::filesystem::exists(file));
  // A file whose name the data folder holds already, or a missing one, stays where it is.
  testing::writeText(file, "second");
  out = deleteSong(lib.table(), lib.addPath(file));
  EXPECT_EQ(moveIntoDataDir(out.path, data), std::nullopt);
  EXPECT_EQ(testing::readBytes(file).size(), 6u);
  EXPECT_EQ(testing::readBytes(data + "song.mp3").size(), 3u);
  out = deleteSong(lib.table(), 1);
  EXPECT_EQ(moveIntoDataDir(out.path, data), std::nullopt);
  EXPECT_EQ(out.show, 0);
  // From another file system (tmpfs) the file is copied under a temporary name and renamed in;
  // a taken name there keeps the original and leaves nothing behind.
  const std::string name = "tunora_move_" + std::to_string(::getpid()) + ".mp3";
  const std::string far = "/dev/shm/" + name;
  testing::writeText(far, "far");
  EXPECT_EQ(moveIntoDataDir(far, data), data + name);
  EXPECT_EQ(testing::readBytes(data + name).size(), 3u);
  testing::writeText(far, "second");
  EXPECT_EQ(moveIntoDataDir(far, data), std::nullopt);
  EXPECT_EQ(testing::readBytes(far).size(), 6u);
  std::filesystem::remove(far);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data), {}), 2);
  // Deleting the only song closes the dialog.
  SongLibrary one;
  out = deleteSong(one.table(), one.addPath("/m/only"));
  EXPECT_TRUE(out.deleted && out.close_dialog);
}

}  // namespace
}  // namespace tunora::maintenance

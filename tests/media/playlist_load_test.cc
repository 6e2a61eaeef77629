// Loading playlist files into play-list rows: library lookups, deleted records, the tag reader.
#include "media/playlist_load.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/playlist_file.h"
#include "media/record_fields.h"
#include "tests/media/tag_bytes.h"
#include "tests/support/song_library.h"

namespace tunora::media {
namespace {

using testing::LibrarySong;

// 16 bytes of silence and an ID3v1 tag.
std::vector<uint8_t> id3v1File(const std::string& title, const std::string& artist,
                               const std::string& album) {
  using namespace tag_bytes;
  return Bytes(16, 0) + id3v1(title, artist, album, "", "", 0, 255);
}

class PlaylistLoadTest : public ::testing::Test {
 protected:
  std::vector<LoadedRow> load(const std::string& list, marlbase::TableHandle* table,
                              ListLoadResult* result = nullptr) {
    std::vector<LoadedRow> rows;
    ListLoadOptions options;
    options.user = 3;
    const auto add = [&](LoadedRow r) { rows.push_back(r); };
    EXPECT_TRUE(loadListFile(list, table, options, add, result).ok());
    return rows;
  }
  void openLibrary(const std::vector<LibrarySong>& songs) {
    ASSERT_TRUE(testing::makeLibrary(dir_.file("Tunora.mbf"), songs));
    table_.setPath(dir_.file("Tunora.mbf"));
    ASSERT_TRUE(table_.open().ok());
  }

  testing::TempDir dir_;
  marlbase::TableHandle table_;
  std::string tagged_ = dir_.file("tagged.mp3");
};

TEST_F(PlaylistLoadTest, LargeLibraryGivesRecordTextsSkipsDeletedAndReadsUnknownFiles) {
  std::vector<LibrarySong> songs = testing::numberedSongs(12);
  // A deleted record whose file is still there: the tag reader would give it a row.
  const std::string deleted = dir_.file("deleted.mp3");
  songs[4] = {deleted, "Gone", "X", "Y", 5};
  testing::writeBytes(deleted, id3v1File("Deleted", "X", "Y"));
  songs[6].path = "/lib/Video Seven.AVI";  // a video
  openLibrary(songs);
  testing::writeBytes(tagged_, id3v1File("Tag Title", "Tag Artist", "Tag Album"));
  const std::string list = dir_.file("PL1.m3u");
  testing::writeText(list, "/lib/song3.mp3\r\n" + deleted + "\r\n" + tagged_ +
                               "\r\n/nowhere/missing.mp3\r\n/LIB/video seven.avi\r\n");
  ListLoadResult result;
  const std::vector<LoadedRow> rows = load(list, &table_, &result);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (LoadedRow{"Title 3", "Artist", "Album", "/lib/song3.mp3", "Audio"}));
  EXPECT_EQ(rows[1], (LoadedRow{"Tag Title", "Tag Artist", "Tag Album", tagged_, "Audio"}));
  // The lookup ignores the case of letters; the row keeps the list's path.
  EXPECT_EQ(rows[2], (LoadedRow{"Title 7", "Artist", "Album", "/LIB/video seven.avi", "Video"}));
  EXPECT_EQ(std::pair(result.rows, result.skipped), std::pair(3, 2));
  EXPECT_FALSE(loadListFile(dir_.file("PL9.m3u"), &table_, {}, [](LoadedRow) { FAIL(); }).ok());
}

// 9 songs and the blank record: 10 live records, not more than 10, so every file is read.
TEST_F(PlaylistLoadTest, SmallOrClosedLibraryReadsEveryFileItself) {
  std::vector<LibrarySong> songs = testing::numberedSongs(9);
  songs[0].path = tagged_;
  openLibrary(songs);
  testing::writeBytes(tagged_, id3v1File("From Tag", "A", "B"));
  const std::string list = dir_.file("list.m3u");
  ASSERT_TRUE(writePlayList(list, {tagged_, "/lib/song2.mp3"}).ok());
  const std::vector<LoadedRow> expected = {{"From Tag", "A", "B", tagged_, "Audio"}};
  EXPECT_EQ(load(list, &table_), expected);
  table_.close();
  EXPECT_EQ(load(list, &table_), expected);
  EXPECT_EQ(load(list, nullptr), expected);
}

TEST_F(PlaylistLoadTest, RecordFieldsAreTheUsersAndKeepTheTextBuffer) {
  std::vector<LibrarySong> songs = testing::numberedSongs(3);
  songs[2].status = 5;
  openLibrary(songs);
  table_.setTextValue("kept");
  RecordFields fields = loadRecordFields(table_, 2, 7);
  EXPECT_EQ(table_.textValue(), "kept");
  EXPECT_EQ(std::tie(fields.rating, fields.title, fields.file_id),
            std::make_tuple(27u, "Title 2", 102u));
  EXPECT_EQ(loadRecordFields(table_, 2, 10).rating, 0u);
  EXPECT_EQ(findSongInTable(table_, "/lib/SONG2.mp3"), 2);
  EXPECT_EQ(findSongInTable(table_, "/lib/song3.mp3"), -1);
  EXPECT_TRUE(deletedSongHasPath(table_, "/Lib/Song3.mp3"));
  EXPECT_FALSE(deletedSongHasPath(table_, "/lib/song2.mp3"));
  EXPECT_FALSE(deletedSongHasPath(table_, "/lib/song3.mp3 "));
}

}  // namespace
}  // namespace tunora::media

// Playlist files: lists written by the program and by other players, and the writer's bytes;
// loading them into play-list rows: library lookups, deleted records, the tag reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "media/playlist_file.h"
#include "media/playlist_load.h"
#include "media/record_fields.h"
#include "tests/media/tag_bytes.h"
#include "tests/support/song_library.h"

namespace tunora::media {
namespace {

using testing::LibrarySong;

using Lines = std::vector<std::string>;

class PlaylistTest : public ::testing::Test {
 protected:
  Lines readFile(const std::string& path) {
    Lines lines;
    EXPECT_TRUE(readListFile(path, [&](const std::string& l) { lines.push_back(l); }).ok());
    return lines;
  }
  std::string fileText(const std::string& path) {
    const auto bytes = testing::readBytes(path);
    return std::string(bytes.begin(), bytes.end());
  }
  testing::TempDir dir_;
  std::string list_ = dir_.file("PL1.m3u");
};

TEST_F(PlaylistTest, WrittenListsAreCrLfLinesAndReadBackTheSame) {
  const Lines paths = {"/music/a b/01 Song.mp3", "/music/Ünïcode/x.wav", "/m/c.mid"};
  ASSERT_TRUE(writePlayList(list_, paths).ok());
  EXPECT_EQ(fileText(list_),
            "/music/a b/01 Song.mp3\r\n/music/\xC3\x9Cn\xC3\xAF"
            "code/x.wav\r\n/m/c.mid\r\n");
  EXPECT_EQ(readFile(list_), paths);
  // An empty list gives an empty file, replacing the old one; no temporary file is left.
  ASSERT_TRUE(writePlayList(list_, {}).ok());
  EXPECT_EQ(fileText(list_), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
  // Paths that cannot be one line are left out.
  ASSERT_TRUE(writePlayList(list_, {"/a\nb.mp3", "/ok.mp3"}).ok());
  EXPECT_EQ(fileText(list_), "/ok.mp3\r\n");
  EXPECT_FALSE(writePlayList(dir_.file("missing/PL3.m3u"), {"/x.mp3"}).ok());
  EXPECT_EQ(playListFileName("/data/", 9), "/data/PL10.m3u");
}

TEST_F(PlaylistTest, ListsOfOtherPlayers) {
  const std::string folder = dir_.folder();
  const std::string longest = "/" + std::string(599, 'p');
  const struct {
    const char* what;
    std::string bytes;
    Lines lines;
  } rows[] = {
      {"line ends",
       "/a/one.mp3\n/a/two.mp3\r/a/three.mp3\r\n/a/four.mp3",
       {"/a/one.mp3", "/a/two.mp3", "/a/three.mp3", "/a/four.mp3"}},
      {"comments, blank and short lines",
       "#EXTM3U\n#EXTINF:123,Band - Song\n/a/Song #1.mp3\n\n\nab\n/ab\n",
       {"/a/Song #1.mp3", "/ab"}},
      {"no trimming: blanks belong to the path", " /a/x.mp3 \n", {folder + " /a/x.mp3 "}},
      {"a byte-order mark only at the start",
       "\xEF\xBB\xBF/a/first.mp3\r\n\xEF\xBB\xBF/a/second.mp3\r\n",
       {"/a/first.mp3", folder + "\xEF\xBB\xBF/a/second.mp3"}},
      {"over-long lines",
       longest + "\n/" + std::string(600, 'q') + "\n/a/after.mp3",
       {longest, "/a/after.mp3"}},
      {"a line far past the buffer", "/" + std::string(100000, 'r') + "\n/a/z.mp3\n", {"/a/z.mp3"}},
      {"relative paths",
       "song.mp3\n../up.mp3\n./here.mp3\n",
       {folder + "song.mp3", dir_.path().parent_path().string() + "/up.mp3", folder + "here.mp3"}},
      {"file URIs",
       "file:///music/A%20B/x%23.mp3\nfile://localhost/m/y.mp3\nfile://otherhost/z.mp3\n"
       "http://radio.example/stream\n",
       {"/music/A B/x#.mp3", "/m/y.mp3", "http://radio.example/stream"}},
      {"escaped line ends and NUL bytes are no paths",
       std::string("file:///m/a%0Ab.mp3\n/m/nul\0.mp3\n/m/ok.mp3\n", 42),
       {"/m/ok.mp3"}},
  };
  for (const auto& row : rows) {
    testing::writeText(list_, row.bytes);
    EXPECT_EQ(readFile(list_), row.lines) << row.what;
  }
  EXPECT_FALSE(readListFile(dir_.file("none.m3u"), [](const std::string&) {}).ok());
  // An abort set by the first line's reader stops the reading there.
  std::atomic<bool> abort{false};
  testing::writeText(list_, "/a/1.mp3\n/a/2.mp3\n");
  Lines lines;
  ASSERT_TRUE(readListFile(
                  list_,
                  [&](const std::string& l) {
                    lines.push_back(l);
                    abort = true;
                  },
                  &abort)
                  .ok());
  EXPECT_EQ(lines.size(), 1u);
}

// 16 bytes of silence and an ID3v1 tag.
std::vector<uint8_t> id3v1File(const std::string& title, const std::string& artist,
                               const std::string& album) {
  using namespace tag_bytes;
  return Bytes(16, 0) + id3v1(title, artist, album, "", "", 0, 255);
}

class PlaylistLoadTest : public PlaylistTest {
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

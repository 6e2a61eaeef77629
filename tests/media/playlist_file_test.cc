// Playlist files: lists written by the program and by other players, and the writer's bytes.
#include "media/playlist_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tunora::media {
namespace {

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

}  // namespace
}  // namespace tunora::media

// Playlist files: lists written by the program and by other players, and the writer's bytes.
#include "media/playlist_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tunora::media {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class PlaylistTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.file(name); }
  std::string folder() const { return dir_.folder(); }
  Lines readBytes(const std::string& bytes) {
    testing::writeText(path("list.m3u"), bytes);
    Lines lines;
    EXPECT_TRUE(
        readListFile(path("list.m3u"), [&](const std::string& l) { lines.push_back(l); }).ok());
    return lines;
  }
  std::string fileBytes(const std::string& name) {
    const auto bytes = testing::readBytes(path(name));
    return std::string(bytes.begin(), bytes.end());
  }

  testing::TempDir dir_;
};

TEST_F(PlaylistTest, WrittenListsAreCrLfLinesAndReadBackTheSame) {
  const Lines paths = {"/music/a b/01 Song.mp3", "/music/Ünïcode/x.wav", "/m/c.mid"};
  ASSERT_TRUE(writePlayList(path("PL1.m3u"), paths).ok());
  EXPECT_EQ(fileBytes("PL1.m3u"),
            "/music/a b/01 Song.mp3\r\n/music/\xC3\x9Cn\xC3\xAF"
            "code/x.wav\r\n/m/c.mid\r\n");
  Lines back;
  ASSERT_TRUE(readListFile(path("PL1.m3u"), [&](const std::string& l) { back.push_back(l); }).ok());
  EXPECT_EQ(back, paths);
  // An empty list gives an empty file, replacing the old one; no temporary file is left.
  ASSERT_TRUE(writePlayList(path("PL1.m3u"), {}).ok());
  EXPECT_EQ(fileBytes("PL1.m3u"), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
  // Paths that cannot be one line are left out.
  ASSERT_TRUE(writePlayList(path("PL2.m3u"), {"/a\nb.mp3", "/ok.mp3"}).ok());
  EXPECT_EQ(fileBytes("PL2.m3u"), "/ok.mp3\r\n");
  EXPECT_FALSE(writePlayList(path("missing/PL3.m3u"), {"/x.mp3"}).ok());
}

TEST_F(PlaylistTest, LineEndsCommentsAndShortLines) {
  EXPECT_EQ(readBytes("/a/one.mp3\n/a/two.mp3\r/a/three.mp3\r\n/a/four.mp3"),
            (Lines{"/a/one.mp3", "/a/two.mp3", "/a/three.mp3", "/a/four.mp3"}));
  EXPECT_EQ(readBytes("#EXTM3U\n#EXTINF:123,Band - Song\n/a/Song #1.mp3\n\n\nab\n/ab\n"),
            (Lines{"/a/Song #1.mp3", "/ab"}));
  // No trimming: blanks belong to the path.
  EXPECT_EQ(readBytes(" /a/x.mp3 \n"), (Lines{folder() + " /a/x.mp3 "}));
}

TEST_F(PlaylistTest, ByteOrderMarkAndOverLongLines) {
  EXPECT_EQ(readBytes("\xEF\xBB\xBF/a/first.mp3\r\n\xEF\xBB\xBF/a/second.mp3\r\n"),
            (Lines{"/a/first.mp3", folder() + "\xEF\xBB\xBF/a/second.mp3"}));
  EXPECT_EQ(readBytes("\xEF\xBB\xBF#EXTM3U\n"), Lines{});
  const std::string longest = "/" + std::string(599, 'p');
  EXPECT_EQ(readBytes(longest + "\n/" + std::string(600, 'q') + "\n/a/after.mp3"),
            (Lines{longest, "/a/after.mp3"}));
  EXPECT_EQ(readBytes("/" + std::string(100000, 'r') + "\n/a/z.mp3\n"), (Lines{"/a/z.mp3"}));
}

TEST_F(PlaylistTest, RelativePathsAndFileUris) {
  EXPECT_EQ(readBytes("song.mp3\nsub/x.mp3\n../up.mp3\n./here.mp3\n"),
            (Lines{folder() + "song.mp3", folder() + "sub/x.mp3",
                   dir_.path().parent_path().string() + "/up.mp3", folder() + "here.mp3"}));
  EXPECT_EQ(readBytes("file:///music/A%20B/x%23.mp3\nfile://localhost/m/y.mp3\n"
                      "file://otherhost/z.mp3\nhttp://radio.example/stream\n"),
            (Lines{"/music/A B/x#.mp3", "/m/y.mp3", "http://radio.example/stream"}));
  // Escaped line ends and NUL bytes are no paths.
  EXPECT_EQ(readBytes(std::string("file:///m/a%0Ab.mp3\n/m/nul\0.mp3\n/m/ok.mp3\n", 42)),
            Lines{"/m/ok.mp3"});
}

TEST_F(PlaylistTest, ReadErrorsAndAbort) {
  EXPECT_FALSE(readListFile(path("none.m3u"), [](const std::string&) {}).ok());
  std::atomic<bool> abort{false};
  testing::writeText(path("l.m3u"), "/a/1.mp3\n/a/2.mp3\n/a/3.mp3\n");
  Lines lines;
  ASSERT_TRUE(readListFile(
                  path("l.m3u"),
                  [&](const std::string& l) {
                    lines.push_back(l);
                    abort = true;
                  },
                  &abort)
                  .ok());
  EXPECT_EQ(lines, Lines{"/a/1.mp3"});
}

TEST(PlayListFileName, StateNumbersFromOne) {
  EXPECT_EQ(playListFileName("/data", 0), "/data/PL1.m3u");
  EXPECT_EQ(playListFileName("/data/", 9), "/data/PL10.m3u");
}

}  // namespace
}  // namespace tunora::media

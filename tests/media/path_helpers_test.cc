// Last component, parent folder and extension of paths.
#include "media/path_helpers.h"

#include <gtest/gtest.h>

namespace tunora::media {
namespace {

TEST(LastPathComponent, NamesAndFallbacks) {
  EXPECT_EQ(lastPathComponent("/music/b.mp3"), "b.mp3");
  EXPECT_EQ(lastPathComponent("/music/Album/"), "Album");
  EXPECT_EQ(lastPathComponent("/music/x"), "/music/x");    // a one-letter name
  EXPECT_EQ(lastPathComponent("/music/x/"), "/music/x/");  // kept with its "/"
  EXPECT_EQ(lastPathComponent("/"), "/");
  EXPECT_EQ(lastPathComponent(""), "");
  EXPECT_EQ(lastPathComponent("song.mp3"), "song.mp3");
  EXPECT_EQ(lastPathComponent("/ab"), "ab");
  EXPECT_EQ(lastPathComponent("ab/"), "ab/");  // not longer than 2 characters
  EXPECT_EQ(lastPathComponent("/abc"), "abc");
  EXPECT_EQ(lastPathComponent("//"), "//");
}

TEST(ParentFolderOf, UpToTheLastSlash) {
  EXPECT_EQ(parentFolderOf("/music/band/song.mp3"), "/music/band/");
  EXPECT_EQ(parentFolderOf("/music/band/"), "/music/band/");
  EXPECT_EQ(parentFolderOf("/song.mp3"), "/");
  EXPECT_EQ(parentFolderOf("song.mp3"), "song.mp3");
  EXPECT_EQ(parentFolderOf(""), "");
}

TEST(StripExtension, CutAtTheLastDot) {
  EXPECT_EQ(stripExtension("03 Song.mp3"), "03 Song");
  EXPECT_EQ(stripExtension("a.b.c"), "a.b");
  EXPECT_EQ(stripExtension("noext"), "noext");
  EXPECT_EQ(stripExtension(".hidden"), "");
  EXPECT_EQ(stripExtension(""), "");
}

}  // namespace
}  // namespace tunora::media

// Last component, parent folder and extension of paths.
#include "media/path_helpers.h"

#include <gtest/gtest.h>

namespace tunora::media {
namespace {

TEST(PathHelpers, NamesFoldersAndExtensions) {
  using F = std::string (*)(std::string_view);
  const struct {
    const char* what;
    F f;
    const char* in;
    const char* out;
  } rows[] = {
      {"last", lastPathComponent, "/music/b.mp3", "b.mp3"},
      {"last", lastPathComponent, "/music/Album/", "Album"},
      {"last", lastPathComponent, "/music/x", "/music/x"},  // a one-letter name
      {"last", lastPathComponent, "/music/x/", "/music/x/"},
      {"last", lastPathComponent, "/", "/"},
      {"last", lastPathComponent, "", ""},
      {"last", lastPathComponent, "song.mp3", "song.mp3"},
      {"last", lastPathComponent, "/ab", "ab"},
      {"last", lastPathComponent, "ab/", "ab/"},  // not longer than 2 characters
      {"last", lastPathComponent, "//", "//"},
      {"parent", parentFolderOf, "/music/band/song.mp3", "/music/band/"},
      {"parent", parentFolderOf, "/music/band/", "/music/band/"},
      {"parent", parentFolderOf, "/song.mp3", "/"},
      {"parent", parentFolderOf, "song.mp3", "song.mp3"},
      {"strip", stripExtension, "03 Song.mp3", "03 Song"},
      {"strip", stripExtension, "a.b.c", "a.b"},
      {"strip", stripExtension, "noext", "noext"},
      {"strip", stripExtension, ".hidden", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(row.f(row.in), row.out) << row.what << " " << row.in;
}

}  // namespace
}  // namespace tunora::media

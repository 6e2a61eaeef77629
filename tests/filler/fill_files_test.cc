// The filler's work on disk. The real copy of a fill: writes a new file whole, never replaces a
// file or a link (nor the song itself), never leaves half a file; the reserve's size. "Empty
// Dir": the folders that are refused, and what emptying an accepted folder deletes, with canary
// files around and inside the folder and links pointing out of it.
#include "filler/fill_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "filler/empty_dir.h"
#include "filler/protected_library.h"
#include "tests/support/child_process.h"
#include "tests/support/song_library.h"

namespace tunora::filler {
namespace {

namespace fs = std::filesystem;
using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::writeBytes;

std::vector<uint8_t> pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

TEST(FillFilesTest, CopyWritesANewFileWithTheSongsBytesAndNoTemporaryFile) {
  TempDir dir;
  const auto song = pattern(3 * 1024 * 1024 + 17);
  writeBytes(dir.file("song.mp3"), song);
  PosixFillFiles files;
  bool taken = true;
  ASSERT_TRUE(files.copyFile(dir.file("song.mp3"), dir.file("000 song.mp3"), taken).ok());
  EXPECT_FALSE(taken);
  EXPECT_EQ(readBytes(dir.file("000 song.mp3")), song);
  EXPECT_EQ(files.fileSize(dir.file("000 song.mp3")), song.size());
  EXPECT_TRUE(files.syncFile(dir.file("000 song.mp3")).ok());
  EXPECT_TRUE(files.syncFolder(dir.folder()).ok());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.folder()), fs::directory_iterator()), 2);
}

TEST(FillFilesTest, ACopyThatFailsHalfWayLeavesNoTarget) {
  TempDir dir;
  writeBytes(dir.file("song.mp3"), pattern(4 * 1024 * 1024));
  const std::string target = dir.file("000 song.mp3");
  // A child whose files may not grow past 1 MB: its write fails part of the way through.
  EXPECT_EQ(testing::childExit(
                [&] {
                  bool taken = false;
                  return PosixFillFiles().copyFile(dir.file("song.mp3"), target, taken).ok();
                },
                1 << 20),
            0)
      << "the copy passed";
  EXPECT_FALSE(fs::exists(target));
  EXPECT_FALSE(fs::exists(temporaryNameFor(target)));
}

// Copies that are refused and touch nothing: onto a file of the target's name (two albums both
// hold "track01.mp3"), onto the song itself or a hard link of it, through a link at the target,
// from a missing song or from a FIFO (without blocking).
TEST(FillFilesTest, RefusedCopiesTouchNothing) {
  TempDir dir;
  const auto song = pattern(100000), other = pattern(5 * 1024 * 1024);
  writeBytes(dir.file("song.mp3"), song);
  writeBytes(dir.file("000 song.mp3"), other);
  fs::create_hard_link(dir.file("song.mp3"), dir.file("same.mp3"));
  fs::create_symlink(dir.file("song.mp3"), dir.file("link.mp3"));
  ASSERT_EQ(mkfifo(dir.file("fifo.mp3").c_str(), 0600), 0);
  const struct {
    const char *source, *target;
    int taken;  // -1: either
  } cases[] = {
      {"song.mp3", "000 song.mp3", 1}, {"song.mp3", "song.mp3", -1}, {"song.mp3", "same.mp3", -1},
      {"000 song.mp3", "link.mp3", 1}, {"gone.mp3", "a", 0},         {"fifo.mp3", "b", 0}};
  PosixFillFiles files;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " -> " + c.target);
    bool taken = c.taken == 0;
    EXPECT_FALSE(files.copyFile(dir.file(c.source), dir.file(c.target), taken).ok());
    if (c.taken >= 0) {
      EXPECT_EQ(taken, c.taken == 1);
    }
  }
  EXPECT_EQ(readBytes(dir.file("song.mp3")), song);
  EXPECT_EQ(readBytes(dir.file("000 song.mp3")), other);
  EXPECT_FALSE(fs::exists(dir.file("a")));
  EXPECT_FALSE(fs::exists(dir.file("b")));
}

TEST(FillFilesTest, TheReserveIs64MBOrOnePercent) {
  EXPECT_EQ(fillReserveBytes({0, uint64_t{1} << 30}), uint64_t{64} << 20);
  EXPECT_EQ(fillReserveBytes({0, uint64_t{100} << 30}), uint64_t{1} << 30);
}

void touch(const std::string& path) { writeBytes(path, {1, 2, 3}); }

class EmptyDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"home", "home/data", "prog", "music/Artist/Album", "lib", "out",
                          "out/sub", "elsewhere"}) {
      fs::create_directories(root_ + "/" + d);
    }
    places_.setHome(root_ + "/home");
    places_.setDataDirectory(root_ + "/home/data/");
    places_.setProgramDirectory(root_ + "/prog/");
    places_.protectFileAndParents(root_ + "/lib/Tunora.mbf");
    places_.protectFileAndParents(root_ + "/music/Artist/Album/song.mp3");
  }
  TempDir dir_;
  std::string root_ = dir_.path().string();
  ProtectedPlaces places_;
};

TEST_F(EmptyDirTest, DangerousFoldersAreRefused) {
  for (const std::string& folder :
       {std::string(), std::string("out"), std::string("./out"), std::string("/"),
        std::string("//"), std::string("/.."), root_ + "/home", root_ + "/home/",
        root_ + "/home/data", root_ + "/prog", root_ + "/lib", root_ + "/music",
        root_ + "/music/Artist", root_ + "/music/Artist/Album/", root_ + "/out/../music", root_,
        std::string("/tmp/.."), root_ + "/missing", root_ + "/lib/Tunora.mbf"}) {
    EXPECT_NE(places_.refusal(folder), "") << folder;
  }
  EXPECT_EQ(places_.refusal(root_ + "/out"), "");
  EXPECT_EQ(places_.refusal(root_ + "/out/sub/"), "");
  EXPECT_EQ(places_.refusal(root_ + "/elsewhere"), "");
}

// A link to a protected folder is refused; so are the home, data and program folders where they
// really are when they were given through links.
TEST_F(EmptyDirTest, ProtectedFoldersAreRefusedWhereverTheyReallyAre) {
  fs::create_directory_symlink(root_ + "/music/Artist", root_ + "/out/link");
  fs::create_directory_symlink(root_ + "/home", root_ + "/elsewhere/h");
  for (const char* d : {"real-home", "real-data", "real-prog"})
    fs::create_directories(root_ + "/" + d);
  fs::create_directory_symlink(root_ + "/real-home", root_ + "/lhome");
  fs::create_directory_symlink(root_ + "/real-data", root_ + "/ldata");
  fs::create_directory_symlink(root_ + "/real-prog", root_ + "/lprog");
  fs::create_directory_symlink(root_ + "/real-prog", root_ + "/out/prog-alias");
  ProtectedPlaces places;
  places.setHome(root_ + "/lhome");
  places.setDataDirectory(root_ + "/ldata/");
  places.setProgramDirectory(root_ + "/lprog/");
  for (const std::string folder : {"/real-home", "/real-data/", "/real-prog", "/out/prog-alias"}) {
    EXPECT_NE(places.refusal(root_ + folder), "") << folder;
  }
  EXPECT_EQ(places.refusal(root_ + "/out"), "");
  EXPECT_NE(places_.refusal(root_ + "/out/link"), "");
  EXPECT_NE(places_.refusal(root_ + "/elsewhere/h/"), "");
}

// The library was imported through a link ("Music" -> "real"): its songs are stored under
// "Music", but "real/Album" is the same folder and must be refused as well; so must a folder
// reached through other links, a bind of the same folder, and the folders above the real one.
TEST_F(EmptyDirTest, TheLibrarysFoldersAreRefusedWhereverTheyReallyAre) {
  for (const char* d : {"disk/real/Album", "other", "stash/files"}) {
    fs::create_directories(root_ + "/" + d);
  }
  fs::create_directory_symlink(root_ + "/disk/real", root_ + "/home/Music");
  fs::create_directory_symlink(root_ + "/disk/real/Album", root_ + "/other/alias");
  // A song that is itself a link to a file elsewhere: that file's folder holds the song.
  touch(root_ + "/stash/files/linked.mp3");
  fs::create_symlink(root_ + "/stash/files/linked.mp3", root_ + "/home/Music/Album/linked.mp3");
  ProtectedPlaces places;
  places.setHome(root_ + "/home");
  for (int i = 1; i <= 3; ++i) {
    const std::string song = root_ + "/home/Music/Album/track0" + std::to_string(i) + ".mp3";
    touch(song);
    places.protectFileAndParents(song);
  }
  places.protectFileAndParents(root_ + "/home/Music/Album/linked.mp3");
  for (const std::string& folder :
       {root_ + "/disk/real/Album", root_ + "/disk/real/Album/", root_ + "/disk/real",
        root_ + "/disk", root_ + "/other/alias", root_ + "/home/Music/Album", root_ + "/home/Music",
        root_ + "/stash/files", root_ + "/stash"}) {
    EXPECT_NE(places.refusal(folder), "") << folder;
  }
  EXPECT_EQ(places.refusal(root_ + "/out"), "");
  EXPECT_EQ(places.refusal(root_ + "/other"), "");
}

TEST_F(EmptyDirTest, OnlyFilesAndLinksDirectlyInsideAreDeleted) {
  const std::string out = root_ + "/out";
  touch(out + "/a.mp3");
  touch(out + "/.hidden");
  touch(out + "/sub/inner.mp3");
  touch(root_ + "/elsewhere/canary");
  touch(root_ + "/outside-canary");
  fs::create_symlink(root_ + "/elsewhere/canary", out + "/link-to-file");
  fs::create_directory_symlink(root_ + "/elsewhere", out + "/link-to-dir");
  fs::create_symlink(root_ + "/nothing", out + "/dangling");
  ASSERT_EQ(mkfifo((out + "/fifo").c_str(), 0600), 0);

  const EmptyResult result = emptyFolder(out);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(result.deleted, 5);  // a.mp3, .hidden and the three links
  EXPECT_EQ(result.kept, 2);     // sub and fifo
  EXPECT_EQ(result.failed, 0);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(out)) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"fifo", "sub"}));
  EXPECT_TRUE(fs::exists(out + "/sub/inner.mp3"));       // never descends
  EXPECT_TRUE(fs::exists(root_ + "/elsewhere/canary"));  // link targets stay
  EXPECT_TRUE(fs::exists(root_ + "/outside-canary"));
  EXPECT_TRUE(fs::exists(root_ + "/music/Artist/Album"));
  EXPECT_NE(emptyFolder(root_ + "/missing").error, "");
}

TEST_F(EmptyDirTest, TheLibrarysSongFoldersAndTheFoldersAboveAreRefused) {
  fs::create_directories(root_ + "/songs/B/C");
  fs::create_directories(root_ + "/songs/D");
  ASSERT_TRUE(testing::writeLibrary(
      root_ + "/elsewhere/t.mbf",
      {{root_ + "/songs/B/C/one.mp3"}, {root_ + "/songs/B/C/two.mp3"}, {"relative/ignored.mp3"}}));
  marlbase::TableHandle table;
  table.setPath(root_ + "/elsewhere/t.mbf");
  ASSERT_TRUE(table.open().ok());
  ProtectedPlaces places;
  protectLibrary(places, root_ + "/elsewhere/t.mbf", table);
  table.close();
  for (const char* folder : {"/songs/B/C", "/songs/B", "/songs", "/elsewhere", ""}) {
    EXPECT_NE(places.refusal(root_ + folder), "") << folder;
  }
  EXPECT_EQ(places.refusal(root_ + "/songs/D"), "");
  EXPECT_EQ(places.refusal(root_ + "/out"), "");
}

TEST(LexicalFolderTest, DotsAndSlashesAreRemoved) {
  EXPECT_EQ(lexicalFolder("/a/./b//c/../"), "/a/b");
  EXPECT_EQ(lexicalFolder("/../.."), "/");
  EXPECT_EQ(lexicalFolder("/"), "/");
}

}  // namespace
}  // namespace tunora::filler

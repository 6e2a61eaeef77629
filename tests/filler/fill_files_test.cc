// The real copy of a fill: writes a new file whole, never replaces a file or a link (nor the song
// itself), never leaves half a file; and the reserve's size.
#include "filler/fill_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace tunora::filler {
namespace {

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
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.folder()),
                          std::filesystem::directory_iterator()),
            2);
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
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_FALSE(std::filesystem::exists(temporaryNameFor(target)));
}

// Copies that are refused and touch nothing: onto a file of the target's name (two albums both
// hold "track01.mp3"), onto the song itself or a hard link of it, through a link at the target,
// from a missing song or from a FIFO (without blocking).
TEST(FillFilesTest, RefusedCopiesTouchNothing) {
  TempDir dir;
  const auto song = pattern(100000), other = pattern(5 * 1024 * 1024);
  writeBytes(dir.file("song.mp3"), song);
  writeBytes(dir.file("000 song.mp3"), other);
  std::filesystem::create_hard_link(dir.file("song.mp3"), dir.file("same.mp3"));
  std::filesystem::create_symlink(dir.file("song.mp3"), dir.file("link.mp3"));
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
  EXPECT_FALSE(std::filesystem::exists(dir.file("a")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("b")));
}

TEST(FillFilesTest, TheReserveIs64MBOrOnePercent) {
  EXPECT_EQ(fillReserveBytes({0, uint64_t{1} << 30}), uint64_t{64} << 20);
  EXPECT_EQ(fillReserveBytes({0, uint64_t{100} << 30}), uint64_t{1} << 30);
  PosixFillFiles files;
  TempDir dir;
  const auto space = files.space(dir.folder());
  ASSERT_TRUE(space.has_value());
  EXPECT_GT(space->total_bytes, 0u);
}

}  // namespace
}  // namespace tunora::filler

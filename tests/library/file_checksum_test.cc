// The fast content checksum against the plain word loop (plain_checksum.h) and against
// values worked out by hand.
#include "library/file_checksum.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "tests/library/plain_checksum.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

using testing::plainChecksum;

class FileChecksumTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }

  std::string writeFile(const std::vector<uint8_t>& bytes, size_t size) {
    const std::string path = dir_.file("song.bin");
    EXPECT_TRUE(testing::writeBytes(path, bytes.data(), size));
    return path;
  }

  static std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
    return bytes;
  }

  testing::TempDir dir_;
};

TEST_F(FileChecksumTest, WorkedValues) {
  EXPECT_EQ(fileChecksum(writeFile({}, 0)), 65536u);  // a = 1, b = 0
  EXPECT_EQ(fileChecksum(writeFile({'a', 'b', 'c'}, 3)), 0x6262C4C4u);
  // Four zero bytes: one word of 0, a = 1, b = 1.
  EXPECT_EQ(fileChecksum(writeFile({0, 0, 0, 0}, 4)), 0x00010001u);
  // One word of 0xFFFFFFFF: a = b = 0, a result of 0, which stands for "none": 1 instead.
  EXPECT_EQ(fileChecksum(writeFile({0xFF, 0xFF, 0xFF, 0xFF}, 4)), 1u);
  // One byte: a = 1 + 5, then the tail adds byte 1 (0) << 24; b = 6 + 6.
  EXPECT_EQ(fileChecksum(writeFile({5}, 1)), 0x0006000Cu);
}

TEST_F(FileChecksumTest, UnreadableGivesZero) {
  EXPECT_EQ(fileChecksum(dir_.file("missing.mp3")), 0u);
  EXPECT_EQ(fileChecksum(dir_.file("")), 0u);  // the directory itself
  const std::string fifo = dir_.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(fileChecksum(fifo), 0u);  // refused at once, not waiting for a writer
}

TEST_F(FileChecksumTest, MatchesPlainLoopForEveryShortLength) {
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    const std::vector<uint8_t> bytes = randomBytes(64, seed);
    for (size_t size = 0; size <= 64; ++size) {
      const std::string path = writeFile(bytes, size);
      const uint32_t expected = plainChecksum(path);
      EXPECT_EQ(fileChecksum(path), expected) << "size " << size;
      // Pieces that split the counted bytes anywhere.
      for (size_t piece : {1, 2, 3, 5}) {
        EXPECT_EQ(internal::fileChecksumInPieces(path, piece), expected)
            << "size " << size << " piece " << piece;
      }
    }
  }
}

TEST_F(FileChecksumTest, MatchesPlainLoopOnLargerRandomFiles) {
  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    const size_t size = random() % 3'000'000;
    const std::string path = writeFile(randomBytes(size, random()), size);
    const uint32_t expected = plainChecksum(path);
    EXPECT_EQ(fileChecksum(path), expected) << "size " << size;
    EXPECT_EQ(internal::fileChecksumInPieces(path, 1 + random() % 5000), expected)
        << "size " << size;
  }
}

// Lengths around one and two whole chunks: a tail chunk of 1..3 bytes reaches back into the
// previous chunk's bytes; one of 4 does not.
TEST_F(FileChecksumTest, MatchesPlainLoopAroundChunkBoundaries) {
  const std::vector<uint8_t> bytes = randomBytes(2 * kChecksumChunkSize + 4, 5);
  const std::string path = writeFile(bytes, bytes.size());
  for (uint64_t boundary : {2 * kChecksumChunkSize, kChecksumChunkSize}) {
    for (uint64_t size = boundary + 4; size + 4 >= boundary; --size) {
      ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
      EXPECT_EQ(fileChecksum(path), plainChecksum(path)) << "size " << size;
    }
  }
}

TEST_F(FileChecksumTest, SecondHalfDoesNotCount) {
  for (size_t size : {16, 17, 1001, 65536}) {
    std::vector<uint8_t> bytes = randomBytes(size, 9);
    const uint32_t before = fileChecksum(writeFile(bytes, size));
    for (size_t i = size / 2; i < size; ++i) bytes[i] ^= 0x5A;
    EXPECT_EQ(fileChecksum(writeFile(bytes, size)), before) << "size " << size;
    bytes[0] ^= 1;
    EXPECT_NE(fileChecksum(writeFile(bytes, size)), before) << "size " << size;
  }
}

}  // namespace
}  // namespace tunora

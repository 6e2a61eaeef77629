// The fast content checksum against the plain word loop (plain_checksum.h) and against values
// worked out by hand; its vector byte sums against the plain loop.
#include "library/file_checksum.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "library/internal/byte_sums.h"
#include "tests/library/plain_checksum.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

using testing::plainChecksum;

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

// The checksum runs on one thread, and under ThreadSanitizer every oracle call costs about a
// second of processor time (the shadow of its 20 MB buffer): fewer lengths in that build.
#if defined(__SANITIZE_THREAD__)
constexpr bool kSlow = true;
#else
constexpr bool kSlow = false;
#endif
constexpr uint32_t kSeeds = kSlow ? 1 : 3;
constexpr size_t kShortSizes = kSlow ? 12 : 64;
constexpr int kLargeFiles = kSlow ? 2 : 10;
constexpr uint64_t kBoundaryReach = kSlow ? 1 : 4;

class FileChecksumTest : public ::testing::Test {
 protected:
  std::string writeFile(const std::vector<uint8_t>& bytes, size_t size) {
    EXPECT_TRUE(testing::writeBytes(path_, bytes.data(), size));
    return path_;
  }
  testing::TempDir dir_;
  std::string path_ = dir_.file("song.bin");
};

TEST_F(FileChecksumTest, WorkedValuesAndUnreadableFiles) {
  const std::pair<std::vector<uint8_t>, uint32_t> rows[] = {
      {{}, 65536u},  // a = 1, b = 0
      {{'a', 'b', 'c'}, 0x6262C4C4u},
      {{0, 0, 0, 0}, 0x00010001u},  // one word of 0: a = 1, b = 1
      // One word of 0xFFFFFFFF: a = b = 0, a result of 0, which stands for "none": 1 instead.
      {{0xFF, 0xFF, 0xFF, 0xFF}, 1u},
      // One byte: a = 1 + 5, then the tail adds byte 1 (0) << 24; b = 6 + 6.
      {{5}, 0x0006000Cu}};
  for (const auto& [bytes, sum] : rows) {
    EXPECT_EQ(fileChecksum(writeFile(bytes, bytes.size())), sum) << bytes.size() << " bytes";
  }
  EXPECT_EQ(fileChecksum(dir_.file("missing.mp3")), 0u);
  EXPECT_EQ(fileChecksum(dir_.file("")), 0u);  // the directory itself
  const std::string fifo = dir_.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(fileChecksum(fifo), 0u);  // refused at once, not waiting for a writer
}

// Every short length, read in pieces that split the counted bytes anywhere; then larger files.
TEST_F(FileChecksumTest, MatchesPlainLoopOnRandomFilesReadInAnyPieces) {
  for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
    const std::vector<uint8_t> bytes = randomBytes(64, seed);
    for (size_t size = 0; size <= kShortSizes; ++size) {
      const uint32_t expected = plainChecksum(writeFile(bytes, size));
      EXPECT_EQ(fileChecksum(path_), expected) << "size " << size;
      for (size_t piece : {1, 2, 3, 5}) {
        EXPECT_EQ(internal::fileChecksumInPieces(path_, piece), expected)
            << "size " << size << " piece " << piece;
      }
    }
  }
  std::mt19937 random(11);
  for (int round = 0; round < kLargeFiles; ++round) {
    const size_t size = random() % 3'000'000;
    const uint32_t expected = plainChecksum(writeFile(randomBytes(size, random()), size));
    EXPECT_EQ(fileChecksum(path_), expected) << "size " << size;
    EXPECT_EQ(internal::fileChecksumInPieces(path_, 1 + random() % 5000), expected) << size;
  }
}

// Lengths around one and two whole chunks: a tail chunk of 1..3 bytes reaches back into the
// previous chunk's bytes; one of 4 does not.
TEST_F(FileChecksumTest, MatchesPlainLoopAroundChunkBoundaries) {
  writeFile(randomBytes(2 * kChecksumChunkSize + 4, 5), 2 * kChecksumChunkSize + 4);
  for (uint64_t boundary : {2 * kChecksumChunkSize, kChecksumChunkSize}) {
    for (uint64_t size = boundary + kBoundaryReach; size + kBoundaryReach >= boundary; --size) {
      ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(size)), 0);
      EXPECT_EQ(fileChecksum(path_), plainChecksum(path_)) << "size " << size;
    }
  }
}

void expectAllKernelsAgree(const std::vector<uint8_t>& data, size_t offset, size_t size) {
  using namespace internal;
  const ByteSums plain = byteSumsUsing(SumKernel::kPlain, data.data() + offset, size);
  for (SumKernel kernel : {SumKernel::kSse2, SumKernel::kAvx2, SumKernel::kAvx512}) {
    const ByteSums sums = byteSumsUsing(kernel, data.data() + offset, size);
    EXPECT_EQ(std::pair(sums.sum, sums.weighted), std::pair(plain.sum, plain.weighted))
        << "kernel " << static_cast<int>(kernel) << " size " << size;
  }
}

TEST(ByteSumsTest, KernelsAgreeWithThePlainLoop) {
  const uint8_t known[] = {1, 2, 3};
  const internal::ByteSums sums = internal::byteSumsUsing(internal::SumKernel::kPlain, known, 3);
  EXPECT_EQ(std::pair(sums.sum, sums.weighted), std::pair(6u, 0u * 1 + 1 * 2 + 2 * 3));
  const std::vector<uint8_t> data = randomBytes(300, 7);
  for (size_t offset = 0; offset < 4; ++offset) {
    for (size_t size = 0; size + offset <= data.size(); ++size) {
      expectAllKernelsAgree(data, offset, size);
    }
  }
  // 0xFF everywhere is the worst case for the 16-bit partial sums, and 40 MB makes every 32-bit
  // sum wrap several times.
  const std::vector<uint8_t> ones(40'000'000 + 17, 0xFF);
  expectAllKernelsAgree(ones, 0, ones.size());
  expectAllKernelsAgree(ones, 1, ones.size() - 1);
}

}  // namespace
}  // namespace tunora

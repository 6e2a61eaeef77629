// A new song table, byte by byte against a layout written out by hand, the column numbers
// against the record layout, and rating numbers from scores and back. The fast content checksum
// against the plain word loop (plain_checksum.h) and against values worked out by hand; its
// vector byte sums against the plain loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "library/file_checksum.h"
#include "library/internal/byte_sums.h"
#include "library/rating.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/library/plain_checksum.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

using testing::plainChecksum;

void put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t get32(const std::vector<uint8_t>& bytes, size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
         uint32_t{bytes[offset + 3]} << 24;
}

// The expected file: header, 44 descriptors, 15 slots of 1656 bytes, slot 0 live.
std::vector<uint8_t> expectedNewSongTable() {
  std::vector<uint8_t> bytes(26'636, 0);
  std::memcpy(bytes.data(), "DATA1000", 8);
  put32(bytes, 608, 1);  // header flag
  put32(bytes, 1352, 2);
  put32(bytes, 1356, 44);  // columns
  put32(bytes, 1360, 10);  // capacity
  put32(bytes, 1364, 2);
  uint32_t field = 1444 + 44 * 8 + 4;  // slot 0's first field, after its status word
  for (uint32_t column = 1; column <= 44; ++column) {
    const uint32_t type = column == 1 ? 14 : column <= 9 ? 12 : 2;
    put32(bytes, 1444 + 8 * (column - 1), type);
    put32(bytes, 1444 + 8 * (column - 1) + 4, field);
    field += column == 1 ? 1000 : column <= 9 ? 64 : 4;
  }
  EXPECT_EQ(field, 1796u + 1656u);
  put32(bytes, 1796, 10);  // slot 0 live
  return bytes;
}

// A new table's bytes, over a file that was there or not; it opens with one blank live record;
// a table that cannot be made leaves the handle closed. Each named column lands at the offset the
// 1656-byte record gives it in slot 0 (fields from 1800: path 1000, eight texts of 64, then 4-byte
// integers from 3312).
TEST(SongTableTest, NewTableBytesAndColumnOffsets) {
  testing::TempDir dir;
  const std::string path = dir.file("Tunora.mbf");
  marlbase::TableHandle table;
  for (const bool existing : {false, true}) {
    if (existing) testing::writeText(path, "junk");
    ASSERT_TRUE(createSongTable(table, path));
    EXPECT_TRUE(table.isOpen() && table.writable());
    table.close();
    EXPECT_EQ(testing::readBytes(path), expectedNewSongTable()) << existing;
  }
  ASSERT_TRUE(table.open().ok());
  EXPECT_EQ(table.columnCount(), kSongColumnCount);
  EXPECT_EQ(table.recordSize(), kSongRecordSize);
  EXPECT_EQ(table.liveCount(), 1);
  EXPECT_EQ(table.readText(0, kColFileName), std::optional<std::string>(""));
  table.close();
  EXPECT_FALSE(createSongTable(table, dir.file("no/such/dir/Tunora.mbf")));
  EXPECT_FALSE(table.isOpen());

  ASSERT_TRUE(createSongTable(table, path));
  const std::pair<int32_t, uint32_t> texts[] = {
      {kColFileName, 1800}, {kColTitle, 2800}, {kColArtist, 2864},
      {kColAlbum, 2928},    {kColNote, 3056},
  };
  const std::pair<int32_t, uint32_t> ints[] = {
      {kColReserved10, 3312},  {kColFileId, 3316},      {ratingColumn(0), 3320},
      {creditColumn(0), 3324}, {ratingColumn(9), 3428}, {creditColumn(9), 3432},
      {kColFlags, 3436},       {kColStartFrame, 3440},  {kColEndFrame, 3444},
      {kColPlayCount, 3448},
  };
  for (const auto& [column, offset] : texts) ASSERT_TRUE(table.writeText(0, column, "x"));
  for (const auto& [column, offset] : ints) ASSERT_TRUE(table.writeInt(0, column, offset));
  table.close();
  const std::vector<uint8_t> bytes = testing::readBytes(path);
  for (const auto& [column, offset] : texts) EXPECT_EQ(bytes.at(offset), 'x') << column;
  for (const auto& [column, offset] : ints) EXPECT_EQ(get32(bytes, offset), offset) << column;
}

// A library whose blank first record was deleted (an older "Remove Missing files" did so) refuses
// every import until slot 0 is live again: the repair gives it back, blank, and keeps a deleted
// song that a compaction had moved into slot 0 as a deleted song of its own.
TEST(SongTableRepairTest, ALostBlankFirstRecordIsGivenBack) {
  testing::TempDir dir;
  for (const bool song_in_slot_0 : {false, true}) {
    SCOPED_TRACE(song_in_slot_0 ? "a deleted song in slot 0" : "the blank record deleted");
    marlbase::TableHandle t;
    ASSERT_TRUE(createSongTable(t, dir.file("songs.mbf")));
    const int32_t song = t.allocate();
    ASSERT_TRUE(t.writeText(song, kColFileName, "/m/live.mp3"));
    if (song_in_slot_0) {
      ASSERT_TRUE(t.writeText(0, kColFileName, "/m/deleted.mp3"));
      ASSERT_TRUE(t.writeInt(0, kColPlayCount, 7));
    }
    ASSERT_EQ(t.setStatus(0, 5), 1);
    EXPECT_FALSE(hasBlankFirstRecord(t));

    const std::string note = repairBlankFirstRecord(t);
    EXPECT_NE(note.find("slot 0"), std::string::npos) << note;
    EXPECT_TRUE(hasBlankFirstRecord(t));
    for (int32_t c = 1; c <= kSongColumnCount; ++c)
      EXPECT_EQ(t.peekField(0, c).find_first_not_of('\0'), std::string_view::npos) << c;
    EXPECT_EQ(t.readText(song, kColFileName), "/m/live.mp3");
    EXPECT_EQ(t.peekStatus(song), 10);
    int32_t kept = 0;
    for (int32_t s = 1; s < static_cast<int32_t>(t.capacity()); ++s) {
      if (t.peekStatus(s) == 5 && t.readText(s, kColFileName) == "/m/deleted.mp3") kept = s;
    }
    EXPECT_EQ(kept > 0 ? t.readInt(kept, kColPlayCount) : 0u, song_in_slot_0 ? 7u : 0u);
    EXPECT_EQ(repairBlankFirstRecord(t), "");  // nothing more to do
    t.close();
  }
}

constexpr RatingThresholds kDefaults = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512};

TEST(RatingTest, ScoresToRatingsAndBack) {
  const RatingThresholds zero_first = {0, 2, 4, 8, 16, 32, 64, 128, 256, 512};
  const RatingThresholds unordered = {5, 5, 5, 5, 5, 5, 5, 5, 5, 0x80000000};
  const struct {
    const RatingThresholds& thresholds;
    uint32_t score;
    int32_t rating;
  } rows[] = {{kDefaults, 0, 0},          {kDefaults, 1, 1},           {kDefaults, 3, 2},
              {kDefaults, 63, 6},         {kDefaults, 100, 7},         {kDefaults, 511, 9},
              {kDefaults, 512, 10},       {kDefaults, 0xFFFFFFFF, 10},  // unsigned, not -1
              {zero_first, 0, 1},  // a threshold of 0 for rating 1 rates every score
              {unordered, 5, 9},   // the highest rating reached
              {unordered, 0x80000000, 10}};
  for (const auto& row : rows)
    EXPECT_EQ(ratingOfScore(row.score, row.thresholds), row.rating) << row.score;
  for (const auto& [rating, score] :
       {std::pair{0, 0u}, {1, 1u}, {7, 64u}, {10, 512u}, {11, 0u}, {-1, 0u}}) {
    EXPECT_EQ(scoreOfRating(rating, kDefaults), score) << rating;
  }
}

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
  for (const auto& [bytes, sum] : rows)
    EXPECT_EQ(fileChecksum(writeFile(bytes, bytes.size())), sum) << bytes.size() << " bytes";
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

// The sort image: the zero-run code of a record, and an image left beside a table by a killed
// sort. The next opener writes a whole image into the table and removes it; an image that is
// damaged, cut short or written for another table is removed and the table keeps its bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "marlbase/zero_runs.h"
#include "tests/marlbase/table_test_util.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::readBytes;
using tunora::testing::writeBytes;
using Bytes = std::vector<uint8_t>;

TEST(ZeroRunsTest, RecordsComeBackWholeAndDamagedCodesAreRefused) {
  std::mt19937 rng(7);
  for (const uint32_t size : {1u, 31u, 32u, 33u, 64u, 376u, 1881u}) {
    for (int round = 0; round < 20; ++round) {
      // Mostly zeros, with runs of bytes: the shape of a record's fields.
      Bytes record(size, 0);
      for (uint32_t at = rng() % size; at < size; at += 1 + rng() % 90) {
        for (uint32_t n = rng() % 40; n > 0 && at < size; --n) record[at++] = 1 + rng() % 255;
      }
      if (round == 0) std::fill(record.begin(), record.end(), 0xAB);
      if (round == 1) std::fill(record.begin(), record.end(), 0);
      Bytes code(zeroRunCodeBound(size));
      const size_t length = encodeZeroRuns(record.data(), size, code.data());
      ASSERT_LE(length, code.size()) << size;
      code.resize(length);
      Bytes back(size, 0xEE);
      const uint8_t* at = code.data();
      ASSERT_TRUE(decodeZeroRuns(&at, code.data() + length, size, back.data())) << size;
      EXPECT_EQ(at, code.data() + length) << size;
      EXPECT_EQ(back, record) << size << " round " << round;
      // Cut anywhere, the code is refused; it reads nothing past the cut.
      for (size_t cut = 0; cut < length; cut += 1 + length / 7) {
        const Bytes cut_code(code.begin(), code.begin() + static_cast<ptrdiff_t>(cut));
        const uint8_t* from = cut_code.data();
        EXPECT_FALSE(decodeZeroRuns(&from, from + cut, size, back.data())) << size << "/" << cut;
      }
    }
  }
  // Tokens past the record's last block (33 bytes: two blocks), and one of no blocks.
  for (const uint32_t token : {0x0000'0003u, 0x0003'0000u, 0x0002'0001u, 0u}) {
    Bytes code(4 + 64, 1);
    storeU32(code.data(), token);
    const uint8_t* at = code.data();
    Bytes back(33);
    EXPECT_FALSE(decodeZeroRuns(&at, code.data() + code.size(), 33, back.data())) << token;
  }
}

class SortImageTest : public ::testing::Test {
 protected:
  // A table with records in random order and free slots among them; `before_` its bytes, then
  // sorted through the image, which is caught whole as the sort starts writing it into the table;
  // `sorted_` the table's bytes after the sort.
  void SetUp() override {
    ASSERT_TRUE(testing::makeTable(path_, {12, 2, 13}));
    TableHandle t;
    ASSERT_TRUE(testing::openAs(t, path_, true).ok());
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {
      const int32_t slot = t.allocate();
      ASSERT_GE(slot, 0);
      ASSERT_TRUE(t.writeText(slot, 1, "song " + std::to_string(rng() % 1000)));
      ASSERT_TRUE(t.writeInt(slot, 2, static_cast<uint32_t>(i)));
      ASSERT_TRUE(t.writeText(slot, 3, std::string(rng() % 200, 'x')));
    }
    for (int32_t s = 5; s < 300; s += 7) ASSERT_EQ(t.setStatus(s, kStatusDeleted), 1);
    t.close();
    before_ = readBytes(path_);
    ASSERT_TRUE(testing::openAs(t, path_, true).ok());
    t.TEST_setCrashPoint([&] {
      if (!image_.empty() || !std::filesystem::exists(image_path_)) return;
      const Bytes bytes = readBytes(image_path_);
      if (bytes.size() > 4 && std::memcmp(bytes.data(), "SORT", 4) == 0) image_ = bytes;
    });
    ASSERT_EQ(t.sortByColumn(1, ""), 1);
    t.close();
    sorted_ = readBytes(path_);
    ASSERT_FALSE(image_.empty());
    ASSERT_FALSE(std::filesystem::exists(image_path_));
  }

  // The table's bytes after the next open, with `image` beside the unsorted table (put back in
  // place under a new inode when `replaced`).
  Bytes openWith(const Bytes& image, bool replaced = false) {
    writeBytes(replaced ? path_ + ".new" : path_, before_);
    if (replaced) std::filesystem::rename(path_ + ".new", path_);
    writeBytes(image_path_, image);
    TableHandle t;
    EXPECT_TRUE(testing::openAs(t, path_, false).ok());
    t.close();
    EXPECT_FALSE(std::filesystem::exists(image_path_));
    return readBytes(path_);
  }

  tunora::testing::TempDir dir_;
  std::string path_ = dir_.file("t.mbf");
  std::string image_path_ = sortImagePathFor(path_);
  Bytes before_, sorted_, image_;
};

TEST_F(SortImageTest, AWholeImageIsWrittenInAndAnyOtherIsDropped) {
  EXPECT_EQ(openWith(image_), sorted_);
  const auto damaged = [&](size_t at) {
    Bytes bytes = image_;
    bytes[at] ^= 0x40;
    return bytes;
  };
  Bytes cut = image_;
  cut.resize(cut.size() - 1);
  Bytes other_size = image_;
  storeU32(other_size.data() + 4, loadU32(other_size.data() + 4) + 1);  // record size
  const struct {
    const char* what;
    Bytes image;
  } rows[] = {
      {"no header yet", Bytes(image_.size(), 0)},
      {"a damaged header", damaged(20)},
      {"another table's record size", other_size},
      {"cut short", cut},
      {"a damaged arrival table", damaged(image_.size() - loadU32(image_.data() + 4) - 9)},
      {"a damaged copies' record", damaged(image_.size() - 1)},
      {"a damaged code", damaged(4096)},
      {"empty", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(openWith(row.image), before_) << row.what;
  // A whole image, but the table file in its place is another one (a backup put back, say).
  EXPECT_EQ(openWith(image_, true), before_) << "another file";
}

}  // namespace
}  // namespace tunora::marlbase

// The table file's bytes after create, and what open accepts and refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "marlbase/table_handle.h"
#include "tests/marlbase/table_test_util.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using testing::le32;
using testing::makeTable;
using testing::putLe32;
using testing::songTypes;
using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::writeBytes;

TEST(TableFileTest, NewSongShapedTableHasTheDocumentedBytes) {
  TempDir dir;
  const std::string path = dir.file("songs.mbf");
  ASSERT_TRUE(makeTable(path, songTypes()));
  const std::vector<uint8_t> bytes = readBytes(path);
  // 1444 header + 44 descriptors + 15 slots of 1656 bytes, as the plain writer lays them out.
  ASSERT_EQ(bytes.size(), 26636u);
  EXPECT_EQ(bytes, testing::PlainTable::create(songTypes()).image());
  EXPECT_EQ(le32(bytes, 1444 + 4), 1800u);  // column 1 of slot 0
  TableHandle t;
  t.setPath(path);
  ASSERT_TRUE(t.open().ok());
  EXPECT_EQ(t.capacity(), 10u);
  EXPECT_EQ(t.recordSize(), 1656u);
  EXPECT_EQ(t.columnCount(), 44);
  EXPECT_EQ(t.liveCount(), 0);
}

TEST(TableFileTest, FileSizeIsTheLargerOfTheMinimumAndFifteenSlots) {
  TempDir dir;
  struct Case {
    std::vector<uint32_t> types;
    size_t size;
  } cases[] = {
      {{14, 2, 2, 2, 2}, 1444 + 40 + 15 * 1020},  // 16,784
      {{2}, 6444},                                // 15 slots of 8 bytes fit in the zero fill
      {{15, 15}, 1444 + 16 + 15 * 10004},
      // Record size 7 (4 + 1 + 2): 105 bytes rounded up to whole words still hold every slot.
      {std::vector<uint32_t>(700, 0), 1444 + 5600 + (15 * 704 + 3) / 4 * 4},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file("t.mbf");
    ASSERT_TRUE(makeTable(path, c.types));
    EXPECT_EQ(readBytes(path).size(), c.size) << c.types.size() << " columns";
    TableHandle t;
    t.setPath(path);
    EXPECT_TRUE(t.open().ok());
  }
}

class DamagedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(makeTable(path_, {14, 2, 12}));
    good_ = readBytes(path_);
  }
  // Writes the damaged bytes and returns open's message ("" when it opened).
  std::string openDamaged(const std::vector<uint8_t>& bytes) {
    writeBytes(path_, bytes);
    TableHandle t;
    t.setPath(path_);
    t.setWritable(true);
    Status s = t.open();
    EXPECT_EQ(t.isOpen(), s.ok());
    EXPECT_EQ(t.isMapped(), s.ok());
    return s.message();
  }

  TempDir dir_;
  std::string path_ = dir_.file("t.mbf");
  std::vector<uint8_t> good_;
};

TEST_F(DamagedFileTest, RefusesFilesThatAreNotWholeTables) {
  auto bytes = good_;
  EXPECT_EQ(openDamaged(bytes), "");
  bytes[0] = 'd';
  EXPECT_EQ(openDamaged(bytes), "not a table file");
  bytes = good_;
  bytes[7] = '1';
  EXPECT_EQ(openDamaged(bytes), "wrong version");
  EXPECT_EQ(openDamaged({}), "not a table file");
  EXPECT_EQ(openDamaged({'D', 'A', 'T', 'A', '1', '0', '0', '0'}), "file shorter than its header");
  // One byte shorter than capacity needs: 1444 + 24 + 10 * (4 + 1000 + 4 + 64) - 1.
  bytes = good_;
  bytes.resize(1444 + 24 + 10 * 1072 - 1);
  EXPECT_EQ(openDamaged(bytes), "file shorter than its capacity needs");
  bytes.push_back(0);
  EXPECT_EQ(openDamaged(bytes), "");
}

TEST_F(DamagedFileTest, RefusesHeadersThatWouldSendAccessesOutsideTheFile) {
  auto bytes = good_;
  putLe32(bytes, 1356, 0);
  EXPECT_EQ(openDamaged(bytes), "damaged header: bad column count");
  putLe32(bytes, 1356, 0xFFFFFFFF);
  EXPECT_EQ(openDamaged(bytes), "damaged header: bad column count");
  bytes = good_;
  putLe32(bytes, 1356, 5000);  // descriptors would run past the end of the file
  EXPECT_EQ(openDamaged(bytes), "file shorter than its column descriptors");
  bytes = good_;
  putLe32(bytes, 1360, 0xFFFFFFF0);
  EXPECT_EQ(openDamaged(bytes), "damaged header: bad capacity");
  bytes = good_;
  putLe32(bytes, 1360, 0x7FFFFFFF);
  EXPECT_EQ(openDamaged(bytes), "file shorter than its capacity needs");
  bytes = good_;
  putLe32(bytes, 1444 + 8 + 4, 99999);  // column 2's stored offset points elsewhere
  EXPECT_EQ(openDamaged(bytes), "damaged header: column offsets do not match the column types");
  bytes = good_;
  putLe32(bytes, 1444, 2);  // column 1 retyped: the stored offsets no longer add up
  EXPECT_EQ(openDamaged(bytes), "damaged header: column offsets do not match the column types");
}

TEST(TableFileTest, OpenRefusesWhatIsNotARegularFile) {
  TempDir dir;
  TableHandle t;
  t.setPath(dir.path().string());
  EXPECT_EQ(t.open().message(), "not a regular file");
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  t.setPath(fifo);
  // A FIFO must be refused without blocking on it, for reading or for writing.
  EXPECT_EQ(t.open().message(), "not a regular file");
  t.setWritable(true);
  EXPECT_EQ(t.open().message(), "not a regular file");
  t.setPath(dir.file("missing.mbf"));
  EXPECT_EQ(t.open().code(), Status::Code::kNotFound);
  EXPECT_FALSE(t.isOpen());
}

TEST(TableFileTest, CloseIsHarmlessTwiceAndOnANeverOpenedHandle) {
  TableHandle never;
  never.close();
  never.close();
  EXPECT_FALSE(never.isOpen());
  TempDir dir;
  ASSERT_TRUE(makeTable(dir.file("t.mbf"), {2}));
  TableHandle t;
  t.setPath(dir.file("t.mbf"));
  t.setWritable(true);
  ASSERT_TRUE(t.open().ok());
  t.close();
  t.close();
  EXPECT_FALSE(t.writable());  // close clears the writable flag
  EXPECT_EQ(t.readField(0, 1), -1);
  EXPECT_FALSE(t.setHeaderFlag(1));
}

// What a handle knew of the file before its close is never trusted at the next open: another
// handle's change, and a copy of another table put in its place, are seen.
TEST(TableFileTest, ReopenSeesWhatChangedWhileClosed) {
  TempDir dir;
  const std::string path = dir.file("t.mbf");
  ASSERT_TRUE(makeTable(path, {12, 2}));
  TableHandle t, other;
  for (TableHandle* h : {&t, &other}) h->setPath(path);
  t.setWritable(true);
  ASSERT_TRUE(t.open().ok());
  ASSERT_EQ(t.allocate(), 0);
  ASSERT_EQ(t.allocate(), 1);
  const auto two_live = readBytes(path);
  t.close();
  other.setWritable(true);
  ASSERT_TRUE(other.open().ok());
  ASSERT_EQ(other.setStatus(1, kStatusDeleted), 1);  // in the same clock tick
  other.close();
  ASSERT_TRUE(t.open().ok());
  EXPECT_EQ(t.liveCount(), 1);
  EXPECT_EQ(t.nthLive(2), -1);
  t.close();
  std::filesystem::remove(path);
  writeBytes(path, two_live);  // a copy: a new file of the same size
  ASSERT_TRUE(t.open().ok());
  EXPECT_EQ(t.liveCount(), 2);
  EXPECT_EQ(t.nthLive(2), 1);
}

}  // namespace
}  // namespace tunora::marlbase

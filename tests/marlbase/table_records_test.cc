// Fields, status words, walks and the slot maintenance: the documented edge cases.
#include <gtest/gtest.h>

#include <algorithm>

#include "marlbase/table_handle.h"
#include "tests/marlbase/table_test_util.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using testing::makeTable;
using testing::songTypes;
using tunora::testing::readBytes;
using tunora::testing::TempDir;

class TableRecordsTest : public ::testing::Test {
 protected:
  // A table of the given types opened for writing, with `live` live records.
  void openNew(const std::vector<uint32_t>& types, int live) {
    ASSERT_TRUE(makeTable(path_, types));
    t_.setPath(path_);
    t_.setWritable(true);
    ASSERT_TRUE(t_.open().ok());
    for (int i = 0; i < live; ++i) ASSERT_GE(t_.allocate(), 0);
  }
  // A table of exactly `capacity` slots, `occupied` of them live and spread out, the rest
  // deleted, opened for writing.
  void openShaped(const std::vector<uint32_t>& types, uint32_t capacity, uint32_t occupied) {
    std::vector<int32_t> statuses(capacity, kStatusDeleted);
    for (uint32_t k = 0; k < occupied; ++k) statuses[k * capacity / occupied] = kStatusLive;
    testing::writeShapedTable(path_, types, statuses);
    t_.setPath(path_);
    t_.setWritable(true);
    ASSERT_TRUE(t_.open().ok());
    ASSERT_EQ(t_.capacity(), capacity);
  }

  TempDir dir_;
  std::string path_ = dir_.file("t.mbf");
  TableHandle t_;
};

TEST_F(TableRecordsTest, TextFieldsHoldWidthMinusOneBytesAndWritesEmptyTheBuffer) {
  openNew({12, 0, 1, 2, 3}, 1);
  const std::string text63(63, 'x');
  ASSERT_TRUE(t_.writeText(0, 1, text63));
  EXPECT_EQ(t_.readText(0, 1), text63);
  ASSERT_TRUE(t_.writeText(0, 1, std::string(70, 'y')));
  EXPECT_EQ(t_.readText(0, 1), std::string(63, 'y'));
  // The write emptied the buffer: a second write without refilling stores an empty text.
  t_.setTextValue("abc");
  ASSERT_EQ(t_.writeField(0, 1), 12);
  EXPECT_EQ(t_.textValue(), "");
  ASSERT_EQ(t_.writeField(0, 1), 12);
  EXPECT_EQ(t_.readText(0, 1), "");
  // Integer columns keep 8, 16, 32 and 32 (low word of 8 bytes) bits.
  for (int32_t column : {2, 3, 4, 5}) ASSERT_TRUE(t_.writeInt(0, column, 0x12345678));
  EXPECT_EQ(t_.readInt(0, 2), 0x78u);
  EXPECT_EQ(t_.readInt(0, 3), 0x5678u);
  EXPECT_EQ(t_.readInt(0, 4), 0x12345678u);
  EXPECT_EQ(t_.readInt(0, 5), 0x12345678u);
}

TEST_F(TableRecordsTest, BadSlotAndColumnNumbersFailInsteadOfReachingOutside) {
  openNew({12, 2}, 1);
  const int32_t cap = static_cast<int32_t>(t_.capacity());
  for (int32_t slot : {-1, cap, cap + 5, INT32_MAX}) {
    EXPECT_EQ(t_.readField(slot, 1), -1);
    EXPECT_EQ(t_.writeField(slot, 1), -1);
    EXPECT_EQ(t_.getStatus(slot), -1);
    EXPECT_EQ(t_.setStatus(slot, 10), 0);
    EXPECT_EQ(t_.copySlot(slot, 0), 0);
    EXPECT_EQ(t_.copySlot(0, slot), 0);
    EXPECT_EQ(t_.recordMatches(slot), -1);
  }
  for (int32_t column : {0, -1, 3, 1000}) {
    EXPECT_EQ(t_.readField(0, column), -1);
    EXPECT_EQ(t_.writeField(0, column), -1);
    EXPECT_EQ(t_.findInColumn(column), -1);
    EXPECT_EQ(t_.findInColumnFrom(0, column), -1);
    EXPECT_EQ(t_.sortByColumn(column), 0);
  }
  EXPECT_EQ(t_.previousLive(cap + 100), 0);
  EXPECT_EQ(t_.nextLive(-5), 0);
}

TEST_F(TableRecordsTest, ReadOnlyHandlesCannotWriteOrAllocate) {
  openNew({12, 2}, 1);
  t_.close();
  ASSERT_TRUE(t_.open().ok());  // the writable flag was cleared by close
  EXPECT_EQ(t_.allocate(), -1);
  EXPECT_EQ(t_.writeField(0, 2), -1);
  EXPECT_EQ(t_.setStatus(0, 5), 0);
  EXPECT_FALSE(t_.setHeaderFlag(0));
  EXPECT_EQ(t_.readField(0, 2), 2);
}

TEST_F(TableRecordsTest, WalksFollowTheLiveSlots) {
  openNew({2}, 12);
  ASSERT_EQ(t_.setStatus(3, kStatusDeleted), 1);
  ASSERT_EQ(t_.setStatus(4, 70), 1);
  ASSERT_EQ(t_.setStatus(5, 0x1000A), 1);
  EXPECT_EQ(t_.liveCount(), 9);
  EXPECT_EQ(t_.nextLive(2), 6);
  EXPECT_EQ(t_.previousLive(6), 2);
  EXPECT_EQ(t_.previousLive(0), 0);
  EXPECT_EQ(t_.nextLive(11), 11);
  EXPECT_EQ(t_.lastLive(), 11);
  EXPECT_EQ(t_.nthLive(4), 6);
  EXPECT_EQ(t_.nthLive(9), 11);
  EXPECT_EQ(t_.nthLive(10), -1);
  EXPECT_EQ(t_.nthLive(0), -1);
  // Only the low 16 bits of a status word are compared: 0x1000A is found with key 10.
  EXPECT_EQ(t_.firstWithStatus(10, 3), 5);
  EXPECT_EQ(t_.firstWithStatus(5, 0), 3);
  EXPECT_EQ(t_.firstWithStatus(70, 0), 4);
  EXPECT_EQ(t_.firstWithStatus(0, 0), 12);
  EXPECT_EQ(t_.firstWithStatus(10, 1000), -1);  // start clamped to the last slot
  // The batch flag holds the count until a recount.
  t_.setBatch(true);
  ASSERT_EQ(t_.setStatus(0, kStatusDeleted), 1);
  EXPECT_EQ(t_.liveCount(), 9);
  t_.setBatch(false);
  ASSERT_EQ(t_.setStatus(0, kStatusDeleted), 1);
  EXPECT_EQ(t_.liveCount(), 8);
}

TEST_F(TableRecordsTest, ANewTableGrowsByTenOnItsFirstAllocationWithALiveRecord) {
  openNew(songTypes(), 1);  // slot 0, no maintenance without a live record
  EXPECT_EQ(t_.capacity(), 10u);
  EXPECT_EQ(t_.allocate(), 1);  // 9 free slots < 10: grows
  EXPECT_EQ(t_.capacity(), 20u);
  t_.close();
  // The file gained 10 slots after the 15 it held.
  EXPECT_EQ(readBytes(path_).size(), 26636u + 10 * 1656);
}

// Above 90 % occupied (or under 10 free) the table grows by a sixteenth of the occupied slots;
// below 70 % it compacts and cuts 3/16 (10 at 100 slots or fewer, nothing at 50), unless held.
TEST_F(TableRecordsTest, MaintenanceGrowsAndShrinksByTheRules) {
  const struct {
    uint32_t capacity, occupied;
    int32_t hold;
    uint32_t after;
  } rows[] = {{4400, 4000, 0, 4400}, {4200, 4000, 0, 4450}, {200, 100, 0, 163},
              {80, 40, 0, 70},       {50, 20, 0, 50},       {200, 100, 1, 200}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.occupied) + " of " + std::to_string(row.capacity) +
                 (row.hold ? " held" : ""));
    openShaped({2, 12}, row.capacity, row.occupied);
    t_.setCompactionHold(row.hold);
    ASSERT_EQ(t_.maintain(), 1);
    EXPECT_EQ(t_.capacity(), row.after);
    EXPECT_EQ(t_.liveCount(), static_cast<int32_t>(row.occupied));
    if (row.hold) {
      EXPECT_EQ(t_.getStatus(2), kStatusLive);  // slot 2 was live and did not move
      EXPECT_EQ(t_.compact(), 500000);
      for (int32_t s = 0; s < 200; ++s) ASSERT_EQ(t_.setStatus(s, kStatusLive), 1);
      ASSERT_EQ(t_.maintain(), 1);
      EXPECT_EQ(t_.capacity(), 212u);  // growing is not held: 200 / 16 = 12 new slots
    }
    const uint32_t capacity = t_.capacity();
    t_.close();
    if (capacity != row.capacity) {
      EXPECT_EQ(readBytes(path_).size(), 1460 + capacity * 72u);
    }
  }
}

TEST_F(TableRecordsTest, CompactionMovesOccupiedRecordsDownAndLeavesDeletedCopies) {
  openNew({2}, 4);
  // [live 100, 5, 0, live 103]
  for (int32_t s = 0; s < 4; ++s) ASSERT_TRUE(t_.writeInt(s, 1, 100 + static_cast<uint32_t>(s)));
  ASSERT_EQ(t_.setStatus(1, kStatusDeleted), 1);
  ASSERT_EQ(t_.setStatus(2, 7), 1);  // 7 is "9 or below": a free slot
  EXPECT_EQ(t_.compact(), 500000 - 2);
  EXPECT_EQ(t_.getStatus(0), kStatusLive);
  EXPECT_EQ(t_.getStatus(1), kStatusLive);
  EXPECT_EQ(t_.readInt(1, 1), 103u);
  EXPECT_EQ(t_.getStatus(2), kStatusDeleted);
  EXPECT_EQ(t_.readInt(2, 1), 103u);
  EXPECT_EQ(t_.getStatus(3), kStatusDeleted);
  EXPECT_EQ(t_.readInt(3, 1), 103u);
  // A record with status 70 moves like a live one and keeps its status.
  ASSERT_EQ(t_.setStatus(3, 70), 1);
  EXPECT_EQ(t_.compact(), 500000 - 1);
  EXPECT_EQ(t_.getStatus(2), 70);
}

TEST_F(TableRecordsTest, CompactionCompletesBeyondThePlainBudget) {
  // 3,000 records behind 2,000 free slots: 6 million one-step moves, far past the 500,000 budget
  // that would stop the plain compaction half-way.
  openShaped({2}, 5000, 1);
  t_.setBatch(true);
  for (int32_t s = 2000; s < 5000; ++s) {
    ASSERT_EQ(t_.setStatus(s, kStatusLive), 1);
    ASSERT_TRUE(t_.writeInt(s, 1, static_cast<uint32_t>(s)));
  }
  t_.setBatch(false);
  EXPECT_GT(t_.compact(), 0);
  EXPECT_EQ(t_.readInt(0, 1), 0u);
  for (int32_t k = 1; k <= 3000; ++k) ASSERT_EQ(t_.readInt(k, 1), 1999u + k);
  EXPECT_EQ(t_.lastLive(), 3000);
}

}  // namespace
}  // namespace tunora::marlbase

namespace tunora::marlbase {
namespace {

// Tables that allocation can never add to are reported by checkCanAllocate, and only those: for
// each shape the check's verdict is compared with what allocate then does.
TEST(TableAllocationCheckTest, SaysWhenNoRecordCanEverBeAddedAndOnlyThen) {
  struct Case {
    const char* what;
    std::vector<int32_t> statuses;
    bool can_allocate;
    const char* says;  // part of the message when it cannot
  };
  auto shape = [](uint32_t capacity, std::vector<std::pair<uint32_t, int32_t>> set, int32_t rest) {
    std::vector<int32_t> statuses(capacity, rest);
    for (const auto& [slot, status] : set) statuses[slot] = status;
    return statuses;
  };
  const std::vector<Case> cases = {
      {"capacity 0", {}, false, "capacity 0"},
      {"free slots hold 1", shape(60, {{0, 10}}, 1), false, "status words other than 0 and 5"},
      {"free slots hold 9 and -1", shape(30, {{0, 10}, {7, 9}}, -1), false, "not full enough"},
      {"no live record, free slots hold 1", shape(30, {}, 1), false, "holds no live record"},
      {"one deleted slot", shape(30, {{0, 10}, {29, 5}}, 1), true, ""},
      {"one unused slot", shape(30, {{0, 10}, {3, 0}}, 9), true, ""},
      // Fewer than 10 free slots: the table grows by zero slots.
      {"nearly full", shape(30, {{3, 1}, {4, -1}}, 10), true, ""},
      // A compaction moves the record at the top down and leaves status 5 behind it.
      {"compaction frees slots", shape(60, {{0, 10}, {59, 10}}, 1), true, ""},
      {"a table as created", shape(10, {{0, 10}}, 0), true, ""},
      // Exactly 90 % occupied and exactly 10 free slots: neither rule grows it.
      {"90 % full, 10 free",
       [] {
         std::vector<int32_t> statuses(100, 10);
         std::fill(statuses.begin() + 90, statuses.end(), 1);
         return statuses;
       }(),
       false, "not full enough"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.file("t.mbf");
    testing::writeShapedTable(path, {14, 2}, c.statuses);
    TableHandle t;
    t.setPath(path);
    t.setWritable(true);
    ASSERT_TRUE(t.open().ok()) << "such a table opens";
    const Status check = t.checkCanAllocate();
    EXPECT_EQ(check.ok(), c.can_allocate) << check.message();
    if (!check.ok()) {
      EXPECT_EQ(check.code(), Status::Code::kCorruption);
      EXPECT_NE(check.message().find(c.says), std::string::npos) << check.message();
    }
    EXPECT_EQ(t.allocate() >= 0, c.can_allocate);
  }
}

}  // namespace
}  // namespace tunora::marlbase

// The table file's bytes after create, what open refuses, and the edge cases the random oracle
// run does not reach: bad numbers, read-only handles, a compaction past the plain budget, the
// allocation check, non-ASCII letters. The sharing rules between openers (in this process and
// another), a full disk during growth, and a file cut or replaced by another program under an
// open handle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "marlbase/table_handle.h"
#include "tests/marlbase/table_test_util.h"

namespace tunora::marlbase {
namespace {

using testing::makeTable;
using testing::openAs;
using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::writeBytes;
using Bytes = std::vector<uint8_t>;

class TableFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.file("t.mbf");
  TableHandle t_;
};

// The bytes are the plain writer's; the sizes are worked out here: 1444 header bytes, 8 per
// column, then the larger of 5000 zero bytes and 15 slots rounded up to whole words.
TEST_F(TableFileTest, NewTablesHaveTheDocumentedBytes) {
  const struct {
    std::vector<uint32_t> types;
    size_t size;
  } rows[] = {{{14, 2, 2, 2, 2}, 1444 + 40 + 15 * 1020},
              {{2}, 6444},
              {{15, 15}, 1444 + 16 + 15 * 10004},
              {std::vector<uint32_t>(700, 0), 1444 + 5600 + (15 * 704 + 3) / 4 * 4}};
  for (const auto& row : rows) {
    ASSERT_TRUE(makeTable(path_, row.types));
    const Bytes bytes = readBytes(path_);
    EXPECT_EQ(bytes.size(), row.size) << row.types.size() << " columns";
    EXPECT_EQ(bytes, testing::PlainTable::create(row.types).image()) << row.types.size();
    ASSERT_TRUE(openAs(t_, path_, false).ok());
    EXPECT_EQ(t_.capacity(), 10u);
    EXPECT_EQ(t_.columnCount(), static_cast<int32_t>(row.types.size()));
    EXPECT_EQ(t_.liveCount(), 0);
    t_.close();
  }
}

TEST_F(TableFileTest, OpenRefusesDamagedFilesAndWhatIsNoRegularFile) {
  ASSERT_TRUE(makeTable(path_, {14, 2, 12}));
  const Bytes good = readBytes(path_);
  auto put = [](size_t at, uint32_t v) { return [=](Bytes& b) { testing::putLe32(b, at, v); }; };
  const struct {
    const char* message;
    std::function<void(Bytes&)> damage;
  } rows[] = {
      {"", [](Bytes&) {}},
      {"not a table file", [](Bytes& b) { b[0] = 'd'; }},
      {"wrong version", [](Bytes& b) { b[7] = '1'; }},
      {"file shorter than its header", [](Bytes& b) { b.resize(8); }},
      // The capacity needs 1444 + 24 + 10 * (4 + 1000 + 4 + 64) bytes.
      {"file shorter than its capacity needs", [](Bytes& b) { b.resize(1444 + 24 + 10720 - 1); }},
      {"", [](Bytes& b) { b.resize(1444 + 24 + 10720); }},
      {"damaged header: bad column count", put(1356, 0xFFFFFFFF)},
      {"file shorter than its column descriptors", put(1356, 5000)},
      {"damaged header: bad capacity", put(1360, 0xFFFFFFF0)},
      {"file shorter than its capacity needs", put(1360, 0x7FFFFFFF)},
      {"damaged header: column offsets do not match the column types", put(1444 + 12, 99999)},
      {"damaged header: column offsets do not match the column types", put(1444, 2)},
  };
  for (const auto& row : rows) {
    Bytes bytes = good;
    row.damage(bytes);
    writeBytes(path_, bytes);
    const Status s = openAs(t_, path_, true);
    EXPECT_EQ(s.message(), row.message) << bytes.size();
    EXPECT_EQ(t_.isMapped(), s.ok());
    t_.close();
  }
  EXPECT_EQ(openAs(t_, dir_.folder(), false).message(), "not a regular file");
  const std::string fifo = dir_.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A FIFO is refused without blocking on it, for reading or for writing.
  for (bool writable : {false, true})
    EXPECT_EQ(openAs(t_, fifo, writable).message(), "not a regular file");
  EXPECT_EQ(openAs(t_, dir_.file("missing.mbf"), false).code(), Status::Code::kNotFound);
  EXPECT_FALSE(t_.isOpen());
  t_.close();  // harmless on a closed handle
}

TEST_F(TableFileTest, BadNumbersAndReadOnlyHandlesFailWithoutReachingOutside) {
  ASSERT_TRUE(makeTable(path_, {12, 2}));
  ASSERT_TRUE(openAs(t_, path_, true).ok());
  ASSERT_EQ(t_.allocate(), 0);
  const int32_t cap = static_cast<int32_t>(t_.capacity());
  for (int32_t slot : {-1, cap, INT32_MAX}) {
    EXPECT_EQ(t_.readField(slot, 1), -1) << slot;
    EXPECT_EQ(t_.writeField(slot, 1), -1) << slot;
    EXPECT_EQ(t_.getStatus(slot), -1) << slot;
    EXPECT_EQ(t_.setStatus(slot, 10), 0) << slot;
    EXPECT_EQ(t_.copySlot(slot, 0) + t_.copySlot(0, slot), 0) << slot;
    EXPECT_EQ(t_.recordMatches(slot), -1) << slot;
  }
  for (int32_t column : {0, -1, 3}) {
    EXPECT_EQ(t_.readField(0, column), -1) << column;
    EXPECT_EQ(t_.writeField(0, column), -1) << column;
    EXPECT_EQ(t_.findInColumn(column), -1) << column;
    EXPECT_EQ(t_.findInColumnFrom(0, column), -1) << column;
    EXPECT_EQ(t_.sortByColumn(column), 0) << column;
  }
  EXPECT_EQ(t_.previousLive(cap + 100), 0);
  EXPECT_EQ(t_.nextLive(-5), 0);
  EXPECT_EQ(t_.lastLive(), -1);  // slot 0 is never the last live record
  t_.close();
  EXPECT_FALSE(t_.writable());  // close clears the writable flag
  EXPECT_EQ(t_.readField(0, 2), -1);
  ASSERT_TRUE(t_.open().ok());
  EXPECT_EQ(t_.allocate(), -1);
  EXPECT_EQ(t_.writeField(0, 2), -1);
  EXPECT_EQ(t_.setStatus(0, 5), 0);
  EXPECT_FALSE(t_.setHeaderFlag(0));
  EXPECT_EQ(t_.readField(0, 2), 2);
}

TEST_F(TableFileTest, CompactionCompletesBeyondThePlainBudget) {
  // 3,000 records behind 2,000 free slots: 6 million one-step moves, far past the 500,000 budget
  // that would stop the plain compaction half-way.
  std::vector<int32_t> statuses(5000, kStatusDeleted);
  statuses[0] = kStatusLive;
  testing::writeShapedTable(path_, {2}, statuses);
  ASSERT_TRUE(openAs(t_, path_, true).ok());
  t_.setBatch(true);
  for (int32_t s = 2000; s < 5000; ++s) {
    ASSERT_EQ(t_.setStatus(s, kStatusLive), 1);
    ASSERT_TRUE(t_.writeInt(s, 1, static_cast<uint32_t>(s)));
  }
  t_.setBatch(false);
  EXPECT_GT(t_.compact(), 0);
  for (int32_t k = 1; k <= 3000; ++k) ASSERT_EQ(t_.readInt(k, 1), 1999u + k);
  EXPECT_EQ(t_.lastLive(), 3000);
}

// Tables that allocation can never add to are reported by checkCanAllocate, and only those: for
// each shape the check's verdict is compared with what allocate then does.
TEST_F(TableFileTest, AllocationCheckSaysWhenNoRecordCanEverBeAddedAndOnlyThen) {
  auto shape = [](uint32_t capacity, std::vector<std::pair<uint32_t, int32_t>> set, int32_t rest) {
    std::vector<int32_t> statuses(capacity, rest);
    for (const auto& [slot, status] : set) statuses[slot] = status;
    return statuses;
  };
  std::vector<int32_t> ninety(100, 10);  // exactly 90 % occupied, 10 free: no rule grows it
  std::fill(ninety.begin() + 90, ninety.end(), 1);
  const struct {
    const char* what;
    std::vector<int32_t> statuses;
    const char* says;  // "" when it can allocate
  } rows[] = {
      {"capacity 0", {}, "capacity 0"},
      {"free slots hold 1", shape(60, {{0, 10}}, 1), "status words other than 0 and 5"},
      {"free slots hold 9 and -1", shape(30, {{0, 10}, {7, 9}}, -1), "not full enough"},
      {"no live record", shape(30, {}, 1), "holds no live record"},
      {"one deleted slot", shape(30, {{0, 10}, {29, 5}}, 1), ""},
      {"one unused slot", shape(30, {{0, 10}, {3, 0}}, 9), ""},
      {"nearly full", shape(30, {{3, 1}, {4, -1}}, 10), ""},
      // A compaction moves the record at the top down and leaves status 5 behind it.
      {"compaction frees slots", shape(60, {{0, 10}, {59, 10}}, 1), ""},
      {"90 % full, 10 free", ninety, "not full enough"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    testing::writeShapedTable(path_, {14, 2}, row.statuses);
    ASSERT_TRUE(openAs(t_, path_, true).ok());
    const Status check = t_.checkCanAllocate();
    const bool can = *row.says == '\0';
    EXPECT_EQ(check.ok(), can) << check.message();
    if (!can) {
      EXPECT_EQ(check.code(), Status::Code::kCorruption);
      EXPECT_NE(check.message().find(row.says), std::string::npos) << check.message();
    }
    EXPECT_EQ(t_.allocate() >= 0, can);
    t_.close();
  }
}

// Only ASCII letters fold in lookups; the sort orders Windows-1252 and UTF-8 texts by letter.
TEST_F(TableFileTest, NonAsciiLettersInLookupsAndSorts) {
  ASSERT_TRUE(makeTable(path_, {14, 12}));
  ASSERT_TRUE(openAs(t_, path_, true).ok());
  // "\xC9" is É in Windows-1252 (not valid UTF-8), "\xC3\xA9" is é in UTF-8.
  for (const char* title : {"f", "\xC9t\xE9", "e", "\xC3\xA9t\xC3\xA9", "\xC3\x84", "["}) {
    const int32_t slot = t_.allocate();
    ASSERT_TRUE(t_.writeText(slot, 1, title) && t_.writeText(slot, 2, title));
  }
  for (const char* key : {"\xC3\xA4", "{"}) {  // ä does not find Ä, nor { find [ (0x7B, 0x5B)
    t_.setSearchKey(key);
    EXPECT_EQ(t_.findInColumn(1), -1) << key;
  }
  ASSERT_EQ(t_.setStatus(4, kStatusDeleted) + t_.setStatus(5, kStatusDeleted), 2);
  ASSERT_EQ(t_.sortByColumn(2, "fr_FR"), 1);
  EXPECT_EQ(t_.readText(0, 2), "e");
  EXPECT_EQ(t_.readText(3, 2), "f");
  // A table of two slots or fewer is not sorted.
  testing::writeShapedTable(path_, {12}, {10, 10});
  ASSERT_TRUE(openAs(t_, path_, true).ok());
  EXPECT_EQ(t_.sortByColumn(1, ""), 0);
}

class TableSharingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(makeTable(path_, {14, 12, 2})); }
  // The bytes of a new table with `records` records (numbers 0, 1, ... in column 3).
  Bytes tableOf(int records) {
    TableHandle t;
    EXPECT_TRUE(makeTable(path_, {14, 12, 2}) && openAs(t, path_, true).ok());
    for (int i = 0; i < records; ++i) EXPECT_TRUE(t.writeInt(t.allocate(), 3, i));
    t.close();
    return readBytes(path_);
  }
  TempDir dir_;
  std::string path_ = dir_.file("t.mbf");
};

TEST_F(TableSharingTest, AWriterExcludesEveryOtherOpenerHereAndInAnotherProcess) {
  TableHandle a, b, c;
  ASSERT_TRUE(openAs(a, path_, false).ok());
  ASSERT_TRUE(openAs(b, path_, false).ok());  // readers share
  EXPECT_EQ(openAs(c, path_, true).message(), "locked by another program");
  EXPECT_FALSE(c.isOpen());
  a.close();
  b.close();
  ASSERT_TRUE(openAs(a, path_, true).ok());
  EXPECT_EQ(openAs(b, path_, true).code(), Status::Code::kLocked);
  EXPECT_EQ(openAs(c, path_, false).code(), Status::Code::kLocked);
  // create must not empty a file that another opener holds.
  c.setColumnCount(1);
  EXPECT_EQ(c.create().code(), Status::Code::kLocked);
  a.close();

  int ready[2], done[2];
  ASSERT_EQ(pipe(ready) | pipe(done), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char byte = openAs(a, path_, true).ok() ? 1 : 0;
    (void)!write(ready[1], &byte, 1);
    (void)!read(done[0], &byte, 1);  // hold the table until the parent has tried
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1);
  EXPECT_EQ(openAs(b, path_, false).code(), Status::Code::kLocked);
  EXPECT_EQ(openAs(b, path_, true).code(), Status::Code::kLocked);
  ASSERT_EQ(write(done[1], &byte, 1), 1);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(openAs(b, path_, true).ok());  // the lock went with the other process
}

TEST_F(TableSharingTest, AFullDiskRefusesGrowthInsteadOfKillingTheProcess) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The file may not grow past 64 KiB: writes beyond fail as on a full disk.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    TableHandle t;
    if (!openAs(t, path_, true).ok()) _exit(2);
    int32_t allocated = 0;
    for (int32_t slot; allocated < 200 && (slot = t.allocate()) >= 0; ++allocated) {
      if (!t.writeText(slot, 1, "/music/song" + std::to_string(allocated))) _exit(3);
    }
    t.close();
    _exit(allocated > 10 && allocated < 200 ? 0 : 4);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  TableHandle t;
  ASSERT_TRUE(openAs(t, path_, false).ok());
  EXPECT_GT(t.liveCount(), 10);
  EXPECT_EQ(t.readText(t.lastLive(), 1), "/music/song" + std::to_string(t.liveCount() - 1));
  EXPECT_LE(readBytes(path_).size(), 64u * 1024);
}

// Another program (it takes no lock) cuts the file or copies a shorter table over it while a
// handle has it open: the handle's next operation, read or write, fails without touching the
// mapping (no fault) and says the file changed on disk, and nothing of it reaches the file.
TEST_F(TableSharingTest, AFileCutUnderAnOpenHandleIsNeitherReadNorWritten) {
  const Bytes small = tableOf(3);
  const Bytes old = tableOf(200);
  const std::pair<const char*, Bytes> rows[] = {
      {"cut to nothing", {}},
      {"cut in half", Bytes(old.begin(), old.begin() + static_cast<long>(old.size() / 2))},
      {"a shorter table copied over it", small}};
  for (const auto& [what, now] : rows) {
    for (const bool writable : {true, false}) {
      SCOPED_TRACE(std::string(what) + (writable ? ", writer" : ", reader"));
      writeBytes(path_, old);
      TableHandle t;
      ASSERT_TRUE(openAs(t, path_, writable).ok());
      const int32_t last = t.lastLive();
      ASSERT_GT(last, 150);
      writeBytes(path_, now);  // in place, as a copy over it does
      struct stat before, after;
      ASSERT_EQ(stat(path_.c_str(), &before), 0);
      // Reading the records, the last ones far past the file's new end, does not fault: the
      // first read finds out, and every operation fails from then on.
      for (int32_t s = last; s >= 0; --s) EXPECT_EQ(t.readField(s, 1), -1) << s;
      EXPECT_TRUE(t.changedOnDisk());
      EXPECT_EQ(t.peekStatus(1), std::nullopt);
      EXPECT_EQ(t.findInColumn(1), -1);
      EXPECT_FALSE(t.writeText(last, 2, "changed"));
      EXPECT_EQ(t.setStatus(1, kStatusDeleted) + t.copySlot(1, 2) + t.maintain(), 0);
      EXPECT_EQ(t.allocate(), -1);
      EXPECT_EQ(t.sortByColumn(2, ""), 0);
      EXPECT_FALSE(t.setHeaderFlag(1));
      t.close();
      EXPECT_EQ(readBytes(path_), now);
      ASSERT_EQ(stat(path_.c_str(), &after), 0);
      EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
      EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
      // The next open takes the file as it now is.
      const Status reopened = openAs(t, path_, true);
      EXPECT_EQ(reopened.ok(), now == small) << reopened.message();
      EXPECT_TRUE(!reopened.ok() || (!t.changedOnDisk() && t.liveCount() == 3));
    }
  }
}

// A pass checks the file at its first operation and then every kPassCheckEvery operations. The
// cut keeps slot 1 inside the file, so the reads the pass lets through stay in it.
TEST_F(TableSharingTest, APassFindsACutAtItsFirstOperationOrWithinItsCheckInterval) {
  TableHandle t;
  const Bytes whole = tableOf(200);
  const Bytes half(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
  for (const bool cut_before_pass : {true, false}) {
    SCOPED_TRACE(cut_before_pass ? "cut before the pass" : "cut within the pass");
    writeBytes(path_, whole);
    ASSERT_TRUE(openAs(t, path_, false).ok());
    if (cut_before_pass) writeBytes(path_, half);
    const TableHandle::Pass pass(t);
    int32_t reads = 0;
    if (!cut_before_pass) {
      ASSERT_EQ(t.readField(1, 3), 2);  // the type code of column 3
      writeBytes(path_, half);
    }
    while (reads <= 2 * static_cast<int32_t>(TableHandle::kPassCheckEvery) &&
           t.readField(1, 3) == 2) {
      ++reads;
    }
    EXPECT_LE(reads, cut_before_pass ? 0 : static_cast<int32_t>(TableHandle::kPassCheckEvery));
    EXPECT_TRUE(t.changedOnDisk());
    t.close();
  }
}

}  // namespace
}  // namespace tunora::marlbase

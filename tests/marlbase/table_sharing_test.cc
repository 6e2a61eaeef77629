// The sharing rules between openers (in this process and another), a full disk during growth,
// and a file cut or replaced by another program under an open handle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/marlbase/table_test_util.h"

namespace tunora::marlbase {
namespace {

using testing::makeTable;
using testing::openAs;
using tunora::testing::readBytes;
using tunora::testing::TempDir;
using Bytes = std::vector<uint8_t>;

class TableSharingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(makeTable(path_, {14, 12, 2})); }
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
  auto tableOf = [&](int records) {
    TableHandle t;
    EXPECT_TRUE(makeTable(path_, {14, 12, 2}) && openAs(t, path_, true).ok());
    for (int i = 0; i < records; ++i) EXPECT_TRUE(t.writeInt(t.allocate(), 3, i));
    t.close();
    return readBytes(path_);
  };
  const Bytes small = tableOf(3);
  const Bytes old = tableOf(200);
  const std::pair<const char*, Bytes> rows[] = {
      {"cut to nothing", {}},
      {"cut in half", Bytes(old.begin(), old.begin() + static_cast<long>(old.size() / 2))},
      {"a shorter table copied over it", small}};
  for (const auto& [what, now] : rows) {
    for (const bool writable : {true, false}) {
      SCOPED_TRACE(std::string(what) + (writable ? ", writer" : ", reader"));
      tunora::testing::writeBytes(path_, old);
      TableHandle t;
      ASSERT_TRUE(openAs(t, path_, writable).ok());
      const int32_t last = t.lastLive();
      ASSERT_GT(last, 150);
      tunora::testing::writeBytes(path_, now);  // in place, as a copy over it does
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
  ASSERT_TRUE(makeTable(path_, {14, 12, 2}) && openAs(t, path_, true).ok());
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(t.writeInt(t.allocate(), 3, i));
  t.close();
  const Bytes whole = readBytes(path_);
  const Bytes half(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
  for (const bool cut_before_pass : {true, false}) {
    SCOPED_TRACE(cut_before_pass ? "cut before the pass" : "cut within the pass");
    tunora::testing::writeBytes(path_, whole);
    ASSERT_TRUE(openAs(t, path_, false).ok());
    if (cut_before_pass) tunora::testing::writeBytes(path_, half);
    const TableHandle::Pass pass(t);
    int32_t reads = 0;
    if (!cut_before_pass) {
      ASSERT_EQ(t.readField(1, 3), 2);  // the type code of column 3
      tunora::testing::writeBytes(path_, half);
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

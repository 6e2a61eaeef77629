// The sharing rules between openers (in this process and another) and a full disk during growth.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "marlbase/table_handle.h"
#include "tests/marlbase/table_test_util.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using testing::makeTable;
using tunora::testing::readBytes;
using tunora::testing::TempDir;

Status openAs(TableHandle& t, const std::string& path, bool writable) {
  t.setPath(path);
  t.setWritable(writable);
  return t.open();
}

TEST(TableSharingTest, AWriterExcludesEveryOtherOpenerInThisProcess) {
  TempDir dir;
  const std::string path = dir.file("t.mbf");
  ASSERT_TRUE(makeTable(path, {2}));
  TableHandle a, b, c;
  ASSERT_TRUE(openAs(a, path, false).ok());
  ASSERT_TRUE(openAs(b, path, false).ok());  // readers share
  EXPECT_EQ(openAs(c, path, true).message(), "locked by another program");
  EXPECT_FALSE(c.isOpen());
  a.close();
  b.close();
  ASSERT_TRUE(openAs(a, path, true).ok());
  EXPECT_EQ(openAs(b, path, true).code(), Status::Code::kLocked);
  EXPECT_EQ(openAs(c, path, false).code(), Status::Code::kLocked);
  // create must not empty a file that another opener holds.
  TableHandle d;
  d.setPath(path);
  d.setColumnCount(1);
  EXPECT_EQ(d.create().code(), Status::Code::kLocked);
  a.close();
  EXPECT_TRUE(openAs(b, path, true).ok());
}

TEST(TableSharingTest, AWriterInAnotherProcessExcludesUs) {
  TempDir dir;
  const std::string path = dir.file("t.mbf");
  ASSERT_TRUE(makeTable(path, {2}));
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TableHandle t;
    const bool ok = openAs(t, path, true).ok();
    char byte = ok ? 1 : 0;
    (void)!write(ready[1], &byte, 1);
    (void)!read(done[0], &byte, 1);  // hold the table until the parent has tried
    _exit(ok ? 0 : 1);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1);
  TableHandle t;
  EXPECT_EQ(openAs(t, path, false).code(), Status::Code::kLocked);
  EXPECT_EQ(openAs(t, path, true).code(), Status::Code::kLocked);
  ASSERT_EQ(write(done[1], &byte, 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(openAs(t, path, true).ok());  // the lock went with the other process
}

TEST(TableSharingTest, AFullDiskRefusesGrowthInsteadOfKillingTheProcess) {
  TempDir dir;
  const std::string path = dir.file("t.mbf");
  ASSERT_TRUE(makeTable(path, {14, 2}));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The file may not grow past 64 KiB: writes beyond fail as on a full disk.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    TableHandle t;
    if (!openAs(t, path, true).ok()) _exit(2);
    int32_t allocated = 0;
    for (int i = 0; i < 200; ++i) {
      const int32_t slot = t.allocate();
      if (slot < 0) break;
      if (!t.writeText(slot, 1, "/music/song" + std::to_string(i))) _exit(3);
      ++allocated;
    }
    t.close();
    _exit(allocated > 10 && allocated < 200 ? 0 : 4);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  TableHandle t;
  ASSERT_TRUE(openAs(t, path, false).ok());
  EXPECT_GT(t.liveCount(), 10);
  EXPECT_EQ(t.readText(t.lastLive(), 1), "/music/song" + std::to_string(t.liveCount() - 1));
  EXPECT_LE(readBytes(path).size(), 64u * 1024);
}

}  // namespace
}  // namespace tunora::marlbase

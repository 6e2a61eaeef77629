// Writers killed between their table writes and the index cache's: the next open must answer as
// the table is, never as the cache last described it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "marlbase/index_cache.h"
#include "marlbase/index_delta.h"
#include "marlbase/table_handle.h"
#include "tests/crash/kill_child.h"
#include "tests/support/cached_table.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::TempDir;

using tunora::testing::answersOf;
using tunora::testing::CachedTable;
using tunora::testing::firstPaths;
using tunora::testing::makeCachedTable;
using tunora::testing::truthOf;

const auto nameOf = CachedTable::pathOf;

// A writer session that deletes every third record, renames every fifth and adds a few.
bool writerSession(const std::string& path, int records) {
  TableHandle t;
  t.setPath(path);
  t.setWritable(true);
  if (!t.open().ok()) return false;
  for (int i = 1; i < records; i += 3) (void)t.setStatus(i, kStatusDeleted);
  for (int i = 2; i < records; i += 5) (void)t.writeText(i, 1, nameOf(records + i));
  for (int i = 0; i < 5; ++i) (void)t.writeText(t.allocate(), 1, nameOf(2 * records + i));
  t.close();
  return true;
}

// Runs `child` in a forked process that kills itself inside it; true when it died of SIGKILL.
bool diesInside(const std::function<void()>& child) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    alarm(60);
    child();
    _exit(0);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST(IndexCacheKillTest, AWriterKilledBetweenItsTableWritesAndTheCacheLeavesRightAnswers) {
  constexpr int kRecords = 200;
  struct Case {
    const char* name;
    std::function<void(const std::string&)> child;
  };
  const std::vector<Case> cases = {
      {"killed after its writes, before its close",
       [](const std::string& path) {
         TableHandle t;
         t.setPath(path);
         t.setWritable(true);
         if (!t.open().ok()) return;
         for (int i = 1; i < kRecords; i += 3) (void)t.setStatus(i, kStatusDeleted);
         (void)t.writeText(2, 1, "/renamed.mp3");
         raise(SIGKILL);
       }},
      {"killed in its close, after the table's times, before the cache",
       [](const std::string& path) {
         TableHandle t;
         t.setPath(path);
         t.setWritable(true);
         t.TEST_setIndexCacheHook([] { raise(SIGKILL); });
         if (!t.open().ok()) return;
         for (int i = 1; i < kRecords; i += 3) (void)t.setStatus(i, kStatusDeleted);
         (void)t.writeText(2, 1, "/renamed.mp3");
         t.close();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("t.mbf");
    ASSERT_TRUE(makeCachedTable(path, {.records = kRecords}));
    ASSERT_TRUE(diesInside([&] { c.child(path); }));
    // The writer removed the delta before its first write, and the cache file is used only with
    // one, so nothing describes the old table.
    EXPECT_FALSE(std::filesystem::exists(indexDeltaPathFor(path)));
    EXPECT_EQ(answersOf(path, firstPaths(kRecords)), truthOf(path, firstPaths(kRecords)));
  }
}

// Kills at random moments of writer sessions, one after another on one table: after each, the
// next open's answers are the table's.
TEST(IndexCacheKillTest, KillsAtAnyMomentOfWriterSessionsLeaveRightAnswers) {
  constexpr int kRecords = 3000;
  TempDir dir;
  const std::string path = dir.file("t.mbf");
  ASSERT_TRUE(makeCachedTable(path, {.records = kRecords}));
  namespace kt = tunora::testing;
  const auto session = [&] { return writerSession(path, kRecords); };
  std::chrono::microseconds took{};
  ASSERT_EQ(kt::runAndKill([] { return true; }, session, std::chrono::microseconds(-1), &took),
            kt::ChildEnd::kFinished);
  const uint64_t session_us = static_cast<uint64_t>(took.count());
  ASSERT_GT(session_us, 0u);
  int killed = 0;
  for (uint32_t round = 0; round < 24; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Spread over the session and a little past it (the kill then falls after its end).
    const auto delay = std::chrono::microseconds(session_us * (2 * round + 1) / 40);
    const kt::ChildEnd outcome = kt::runAndKill([] { return true; }, session, delay);
    ASSERT_NE(outcome, kt::ChildEnd::kFailed);
    if (outcome == kt::ChildEnd::kKilled) ++killed;
    const std::vector<int32_t> seen = answersOf(path, firstPaths(64));
    // answersOf's close may have written a cache; it must describe the table too.
    const std::vector<int32_t> again = answersOf(path, firstPaths(64));
    const std::vector<int32_t> truth = truthOf(path, firstPaths(64));
    EXPECT_EQ(seen, truth);
    EXPECT_EQ(again, truth);
  }
  // Informational: how many of the kills fell inside a session on this machine.
  std::printf("%d of 24 kills fell inside a writer session\n", killed);
}

}  // namespace
}  // namespace tunora::marlbase

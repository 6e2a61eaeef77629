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
#include "marlbase/table_handle.h"
#include "tests/crash/kill_child.h"
#include "tests/marlbase/table_test_util.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::TempDir;

std::string nameOf(int i) { return "/Music/" + std::to_string(i) + ".mp3"; }

bool makeCachedTable(const std::string& path, int records) {
  if (!testing::makeTable(path, {14, 2})) return false;
  TableHandle t;
  t.setPath(path);
  t.setWritable(true);
  if (!t.open().ok()) return false;
  for (int i = 0; i < records; ++i) {
    if (!t.writeText(t.allocate(), 1, nameOf(i))) return false;
  }
  t.setSearchKey(nameOf(1));
  if (t.findInColumn(1) < 0) return false;
  t.close();
  return std::filesystem::exists(indexCachePathFor(path));
}

// The live slots and where each name is, by the engine's indexes.
std::vector<int32_t> answersOf(const std::string& path, int names) {
  TableHandle t;
  t.setPath(path);
  std::vector<int32_t> out;
  if (!t.open().ok()) return out;
  out.push_back(t.liveCount());
  for (int32_t n = 1; t.nthLive(n) >= 0; ++n) out.push_back(t.nthLive(n));
  for (int i = 0; i < names; ++i) {
    t.setSearchKey(nameOf(i));
    out.push_back(t.findInColumn(1));
  }
  return out;
}

// The same after the cache is removed, so from the table's bytes alone.
std::vector<int32_t> truthOf(const std::string& path, int names) {
  std::filesystem::remove(indexCachePathFor(path));
  return answersOf(path, names);
}

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
    ASSERT_TRUE(makeCachedTable(path, kRecords));
    ASSERT_TRUE(diesInside([&] { c.child(path); }));
    // The writer removed the cache before its first write, so none describes the old table.
    EXPECT_FALSE(std::filesystem::exists(indexCachePathFor(path)));
    const std::vector<int32_t> seen = answersOf(path, kRecords);
    EXPECT_EQ(seen, truthOf(path, kRecords));
  }
}

// Kills at random moments of writer sessions, one after another on one table: after each, the
// next open's answers are the table's.
TEST(IndexCacheKillTest, KillsAtAnyMomentOfWriterSessionsLeaveRightAnswers) {
  constexpr int kRecords = 3000;
  TempDir dir;
  const std::string path = dir.file("t.mbf");
  ASSERT_TRUE(makeCachedTable(path, kRecords));
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
    const std::vector<int32_t> seen = answersOf(path, 64);
    // answersOf's close may have written a cache; it must describe the table too.
    const std::vector<int32_t> again = answersOf(path, 64);
    const std::vector<int32_t> truth = truthOf(path, 64);
    EXPECT_EQ(seen, truth);
    EXPECT_EQ(again, truth);
  }
  // Informational: how many of the kills fell inside a session on this machine.
  std::printf("%d of 24 kills fell inside a writer session\n", killed);
}

}  // namespace
}  // namespace tunora::marlbase

// Writers killed at any moment of sessions that carry a column's index from the cache into the
// next one (a writer of another column) or load it and write it back changed (a writer that looks
// paths up, then adds, deletes and renames): after each kill, the next open's answers are the
// table's, whether it takes the index from a cache or not.
#include <gtest/gtest.h>

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

constexpr int kRecords = 3000;
constexpr int kNames = 64;

std::string nameOf(int i) { return "/Music/" + std::to_string(i) + ".mp3"; }

bool makeCachedTable(const std::string& path) {
  if (!testing::makeTable(path, {14, 2})) return false;
  TableHandle t;
  t.setPath(path);
  t.setWritable(true);
  if (!t.open().ok()) return false;
  for (int i = 0; i < kRecords; ++i) {
    if (!t.writeText(t.allocate(), 1, nameOf(i))) return false;
  }
  t.setSearchKey(nameOf(1));
  if (t.findInColumn(1) < 0) return false;
  t.close();
  return std::filesystem::exists(indexCachePathFor(path));
}

// Where each of the first names is (highest and every match from slot 1), by the engine.
std::vector<int32_t> answersOf(const std::string& path) {
  TableHandle t;
  t.setPath(path);
  std::vector<int32_t> out;
  if (!t.open().ok()) return out;
  out.push_back(t.liveCount());
  for (int i = 0; i < kNames; ++i) {
    t.setSearchKey(nameOf(i));
    out.push_back(t.findInColumn(1));
    for (int32_t s = t.findInColumnFrom(1, 1); s >= 0; s = t.findInColumnFrom(s + 1, 1)) {
      out.push_back(s);
    }
  }
  return out;
}

std::vector<int32_t> truthOf(const std::string& path) {
  std::filesystem::remove(indexCachePathFor(path));
  return answersOf(path);
}

TEST(ColumnCacheKillTest, KillsDuringSessionsThatCarryOrRewriteAColumnIndexLeaveRightAnswers) {
  struct Session {
    const char* name;
    std::function<bool(TableHandle&)> work;
  };
  const std::vector<Session> sessions = {
      {"a writer of another column",
       [](TableHandle& t) {
         for (int s = 1; s < kRecords; s += 2) {
           if (!t.writeInt(s, 2, static_cast<uint32_t>(s))) return false;
         }
         return true;
       }},
      {"a writer that looks paths up, then adds, deletes and renames",
       [](TableHandle& t) {
         t.setSearchKey(nameOf(7));
         (void)t.findInColumn(1);
         for (int i = 1; i < kRecords; i += 3) (void)t.setStatus(i, kStatusDeleted);
         for (int i = 2; i < kRecords; i += 5) (void)t.writeText(i, 1, nameOf((i * 7) % kNames));
         for (int i = 0; i < 20; ++i) (void)t.writeText(t.allocate(), 1, nameOf(i));
         return true;
       }},
  };
  namespace kt = tunora::testing;
  for (const Session& session : sessions) {
    SCOPED_TRACE(session.name);
    TempDir dir;
    const std::string path = dir.file("t.mbf");
    ASSERT_TRUE(makeCachedTable(path));
    const auto run = [&] {
      TableHandle t;
      t.setPath(path);
      t.setWritable(true);
      if (!t.open().ok() || !session.work(t)) return false;
      t.close();
      return true;
    };
    std::chrono::microseconds took{};
    ASSERT_EQ(kt::runAndKill([] { return true; }, run, std::chrono::microseconds(-1), &took),
              kt::ChildEnd::kFinished);
    const auto session_us = static_cast<uint64_t>(took.count());
    ASSERT_GT(session_us, 0u);
    for (uint32_t round = 0; round < 12; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      const auto delay = std::chrono::microseconds(session_us * (2 * round + 1) / 20);
      ASSERT_NE(kt::runAndKill([] { return true; }, run, delay), kt::ChildEnd::kFailed);
      // The first open may take the index from a cache and its close write one; the second
      // reads what the first wrote.
      const std::vector<int32_t> seen = answersOf(path);
      const std::vector<int32_t> again = answersOf(path);
      const std::vector<int32_t> truth = truthOf(path);
      EXPECT_EQ(seen, truth);
      EXPECT_EQ(again, truth);
    }
  }
}

}  // namespace
}  // namespace tunora::marlbase

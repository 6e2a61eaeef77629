// Writers killed between their table writes and the index cache's: the next open must answer as
// the table is, never as the cache last described it.

#include "marlbase/index_delta.h"
#include "tests/support/cached_table.h"
#include "tests/support/kill_child.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::TempDir;

using tunora::testing::answersOf;
using tunora::testing::firstPaths;
using tunora::testing::makeCachedTable;
using tunora::testing::truthOf;

TEST(IndexCacheKillTest, AWriterKilledBetweenItsTableWritesAndTheCacheLeavesRightAnswers) {
  constexpr int kRecords = 200;
  for (const bool in_close : {false, true}) {
    SCOPED_TRACE(in_close ? "killed in its close, after the table's times, before the cache"
                          : "killed after its writes, before its close");
    TempDir dir;
    const std::string path = dir.file("t.mbf");
    ASSERT_TRUE(makeCachedTable(path, {.records = kRecords}));
    const auto writer = [&] {
      TableHandle t;
      t.setPath(path);
      t.setWritable(true);
      if (in_close) t.TEST_setIndexCacheHook([] { raise(SIGKILL); });
      if (!t.open().ok()) return false;
      for (int i = 1; i < kRecords; i += 3) (void)t.setStatus(i, kStatusDeleted);
      (void)t.writeText(2, 1, "/renamed.mp3");
      if (!in_close) raise(SIGKILL);
      t.close();
      return true;
    };
    ASSERT_EQ(
        tunora::testing::runAndKill([] { return true; }, writer, std::chrono::microseconds(-1)),
        tunora::testing::ChildEnd::kKilled);
    // The writer removed the delta before its first write, and the cache file is used only with
    // one, so nothing describes the old table.
    EXPECT_FALSE(std::filesystem::exists(indexDeltaPathFor(path)));
    EXPECT_EQ(answersOf(path, firstPaths(kRecords)), truthOf(path, firstPaths(kRecords)));
  }
}

}  // namespace
}  // namespace tunora::marlbase

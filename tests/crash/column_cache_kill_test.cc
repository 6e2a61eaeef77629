// Writers killed at any moment of sessions that carry a column's index from the cache into the
// next one (a writer of another column), load it and write it back changed (a writer that looks
// paths up, then adds, deletes and renames), or write their few changes as a delta over the cache:
// after each kill, the next open's answers are the table's, whether it takes the index from a
// cache or not.

#include "tests/support/cached_table.h"
#include "tests/support/kill_child.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::answersOf;
using tunora::testing::truthOf;

constexpr int kRecords = 3000;
const auto nameOf = tunora::testing::CachedTable::pathOf;
const std::vector<std::string> kProbes = tunora::testing::firstPaths(64);

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
         for (int i = 2; i < kRecords; i += 5) (void)t.writeText(i, 1, nameOf((i * 7) % 64));
         for (int i = 0; i < 20; ++i) (void)t.writeText(t.allocate(), 1, nameOf(i));
         return true;
       }},
      // Few changes: the close writes a delta over the cache file, each round's over the last.
      {"a writer that looks a path up, then adds, deletes and renames a few records",
       [](TableHandle& t) {
         t.setSearchKey(nameOf(9));
         (void)t.findInColumn(1);
         for (int i = 0; i < 4; ++i) (void)t.writeText(t.allocate(), 1, nameOf(i * 11));
         (void)t.setStatus(t.lastLive(), kStatusDeleted);
         for (int i = 5; i < 40; i += 9) (void)t.writeText(i, 1, nameOf(i + 1));
         return true;
       }},
      {"a writer that renames a few records without looking anything up",
       [](TableHandle& t) {
         for (int i = 3; i < 40; i += 7) {
           if (!t.writeText(i, 1, nameOf((i * 13) % 64))) return false;
         }
         return true;
       }},
  };
  for (const Session& session : sessions) {
    SCOPED_TRACE(session.name);
    tunora::testing::TempDir dir;
    const std::string path = dir.file("t.mbf");
    ASSERT_TRUE(tunora::testing::makeCachedTable(path, {.records = kRecords}));
    const auto run = [&] {
      TableHandle t;
      t.setPath(path);
      t.setWritable(true);
      if (!t.open().ok() || !session.work(t)) return false;
      t.close();
      return true;
    };
    // The first open may take the index from a cache and its close write one; the second reads
    // what the first wrote.
    tunora::testing::killSpread(12, run, [&] {
      const std::vector<int32_t> seen = answersOf(path, kProbes), again = answersOf(path, kProbes);
      const std::vector<int32_t> truth = truthOf(path, kProbes);
      EXPECT_EQ(seen, truth);
      EXPECT_EQ(again, truth);
    });
  }
}

}  // namespace
}  // namespace tunora::marlbase

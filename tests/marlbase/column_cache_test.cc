// A column's lookup index kept in the index cache: a later open takes it from there only while
// it still describes the column (a writer that changed a few slots carries it over with its delta;
// one that moved records or changed the capacity writes it as it now is, when it looked it up),
// and every answer is the table's. A damaged part is the index cache and column view tests'.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "marlbase/table_handle.h"
#include "tests/support/cached_table.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::answersOf;
using tunora::testing::CachedTable;
using tunora::testing::TempDir;
using tunora::testing::truthOf;

// Some paths shared by two records, every ninth slot deleted.
const CachedTable kShape{.records = 400, .distinct_paths = 350, .delete_every = 9};
const auto nameOf = CachedTable::pathOf;

std::vector<std::string> probes() {
  return {nameOf(1), nameOf(9), nameOf(10), nameOf(349), "/Music/new 3.mp3", "/none"};
}

void lookUp(TableHandle& t) {
  t.setSearchKey(nameOf(5));
  ASSERT_GE(t.findInColumn(1), 0);
}

TEST(ColumnCacheTest, ALaterOpenTakesTheColumnIndexFromTheCacheOnlyWhileItHolds) {
  struct Case {
    const char* name;
    std::function<void(TableHandle&)> work;
    bool from_cache;  // the next open takes the path column's index from the cache
  };
  const std::vector<Case> cases = {
      {"a reader's open", nullptr, true},
      {"a writer of another column only",
       [](TableHandle& w) {
         for (int s = 1; s < 300; s += 4) ASSERT_TRUE(w.writeInt(s, 2, 7));
       },
       true},
      {"a writer that writes paths without looking them up",
       [](TableHandle& w) { ASSERT_TRUE(w.writeText(10, 1, "/Music/new 3.mp3")); }, true},
      {"a writer that deletes a record",
       [](TableHandle& w) { ASSERT_EQ(w.setStatus(11, kStatusDeleted), 1); }, true},
      {"a writer that makes a free slot live",
       [](TableHandle& w) { ASSERT_EQ(w.setStatus(9, kStatusLive), 1); }, true},
      {"a writer that copies a record over another",
       [](TableHandle& w) { ASSERT_EQ(w.copySlot(20, 30), 1); }, true},
      {"a writer that adds records until the table grows",
       [](TableHandle& w) {
         const uint32_t capacity = w.capacity();
         while (w.capacity() == capacity) ASSERT_TRUE(w.writeText(w.allocate(), 1, nameOf(3)));
       },
       false},
      {"a writer that compacts", [](TableHandle& w) { (void)w.compact(); }, false},
      {"a writer that sorts by the path",
       [](TableHandle& w) { ASSERT_EQ(w.sortByColumn(1, ""), 1); }, false},
      {"a writer that looks paths up, then writes, deletes, adds and sorts",
       [](TableHandle& w) {
         lookUp(w);
         ASSERT_TRUE(w.writeText(10, 1, "/Music/new 3.mp3"));
         ASSERT_EQ(w.setStatus(11, kStatusDeleted), 1);
         ASSERT_EQ(w.setStatus(9, kStatusLive), 1);
         ASSERT_EQ(w.copySlot(20, 30), 1);
         for (int i = 0; i < 60; ++i) ASSERT_TRUE(w.writeText(w.allocate(), 1, nameOf(i)));
         ASSERT_EQ(w.sortByColumn(1, ""), 1);
       },
       true},
      {"a writer of another column that then looks paths up",
       [](TableHandle& w) {
         ASSERT_TRUE(w.writeInt(3, 2, 9));
         lookUp(w);
         EXPECT_EQ(w.TEST_columnsFromIndexCache(), 1);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string table = dir.file("t.mbf");
    ASSERT_TRUE(makeCachedTable(table, kShape));
    TableHandle w;  // the writer, or a reader that looks a path up
    w.setPath(table);
    w.setWritable(c.work != nullptr);
    ASSERT_TRUE(w.open().ok());
    c.work ? c.work(w) : lookUp(w);
    w.close();
    const std::vector<int32_t> truth = truthOf(table, probes());
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round == 0 ? "first open" : "open after the first one's close");
      TableHandle t;
      t.setPath(table);
      ASSERT_TRUE(t.open().ok());
      EXPECT_EQ(answersOf(t, probes()), truth);
      // Without a part to take, the first open builds the index and its close writes it.
      EXPECT_EQ(t.TEST_columnsFromIndexCache(), c.from_cache || round == 1 ? 1 : 0);
      t.close();
    }
  }
}

}  // namespace
}  // namespace tunora::marlbase

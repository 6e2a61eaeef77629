// A column's index read in place from the cache file is checked block by block as lookups read
// it: a block that does not check out, found by a lookup after the open, costs a rebuild from the
// table, never a wrong answer, and the close writes a whole cache again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "marlbase/index_cache.h"
#include "marlbase/table_handle.h"
#include "tests/support/cached_table.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::answersOf;
using tunora::testing::CachedTable;
using tunora::testing::makeCachedTable;
using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::truthOf;
using tunora::testing::writeBytes;

TEST(ColumnViewTest, ADamagedBlockFoundByALookupIsBuiltFromTheTable) {
  // Big enough for the column's index to span several blocks; the probes reach all of them.
  constexpr int kRecords = 6000;
  std::vector<std::string> probes;
  for (int i = 0; i < kRecords; i += 20) probes.push_back(CachedTable::pathOf(i));
  TempDir dir;
  const std::string table = dir.file("t.mbf");
  ASSERT_TRUE(makeCachedTable(table, {.records = kRecords}));
  const std::string cache = indexCachePathFor(table);
  std::vector<uint8_t> bytes = readBytes(cache);
  ASSERT_GT(bytes.size(), 2 * ColumnIndex::kViewBlock);
  // The column part is the last, and its hash table's entries lie past its middle: a block the
  // open does not read.
  bytes[bytes.size() * 3 / 5] ^= 0x21;
  writeBytes(cache, bytes);
  const std::vector<int32_t> truth = truthOf(table, probes);
  {
    TableHandle t;
    t.setPath(table);
    ASSERT_TRUE(t.open().ok());
    EXPECT_EQ(answersOf(t, probes), truth);
    EXPECT_EQ(t.TEST_columnsFromIndexCache(), 1);  // loaded, then found damaged
  }
  EXPECT_TRUE(readBytes(cache) != bytes);  // a whole cache written again
  TableHandle again;
  again.setPath(table);
  ASSERT_TRUE(again.open().ok());
  EXPECT_EQ(answersOf(again, probes), truth);
  EXPECT_EQ(again.TEST_columnsFromIndexCache(), 1);
}

}  // namespace
}  // namespace tunora::marlbase

// Lookups with letter folding, the substring scan of recordMatches, and the sort order.
#include <gtest/gtest.h>

#include "marlbase/table_handle.h"
#include "tests/marlbase/table_test_util.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using testing::makeTable;
using tunora::testing::TempDir;

class TableLookupTest : public ::testing::Test {
 protected:
  // A table (path, title, number) holding the given rows in slots 0, 1, ...
  void fill(const std::vector<std::tuple<std::string, std::string, uint32_t>>& rows) {
    ASSERT_TRUE(makeTable(path_, {14, 12, 2}));
    t_.setPath(path_);
    t_.setWritable(true);
    ASSERT_TRUE(t_.open().ok());
    for (const auto& [path, title, number] : rows) {
      const int32_t slot = t_.allocate();
      ASSERT_GE(slot, 0);
      ASSERT_TRUE(t_.writeText(slot, 1, path));
      ASSERT_TRUE(t_.writeText(slot, 2, title));
      ASSERT_TRUE(t_.writeInt(slot, 3, number));
    }
  }
  std::vector<std::string> titles() {
    std::vector<std::string> out;
    for (int32_t s = t_.firstWithStatus(10, 0); s >= 0;) {
      out.push_back(*t_.readText(s, 2));
      const int32_t next = t_.nextLive(s);
      if (next == s) break;
      s = next;
    }
    return out;
  }

  TempDir dir_;
  std::string path_ = dir_.file("t.mbf");
  TableHandle t_;
};

TEST_F(TableLookupTest, PathLookupIgnoresLetterCaseOnlyAndTheHighestSlotWins) {
  fill({{"blank", "", 0},
        {"/Music/A.mp3", "a", 1},
        {"/music/b.mp3", "b", 2},
        {"/Music/Ä.mp3", "c", 3},
        {"/music/a.MP3", "d", 4}});
  t_.setSearchKey("/MUSIC/a.mp3");
  EXPECT_EQ(t_.findInColumn(1), 4);
  EXPECT_EQ(t_.textValue(), "/music/a.MP3");  // the matching field is left in the buffer
  EXPECT_EQ(t_.findInColumnFrom(0, 1), 1);
  t_.setSearchKey("/Music/A.mp3 ");  // a trailing blank is a difference
  EXPECT_EQ(t_.findInColumn(1), -1);
  t_.setSearchKey("/music/ä.mp3");  // only ASCII letters fold
  EXPECT_EQ(t_.findInColumn(1), -1);
  t_.setSearchKey("blank");  // slot 0 is never examined downwards
  EXPECT_EQ(t_.findInColumn(1), -1);
  EXPECT_EQ(t_.findInColumnFrom(0, 1), 0);
  t_.setSearchKey("3");
  EXPECT_EQ(t_.findInColumn(3), 3);
  // A deleted record is not found; one with another status above 9 is.
  ASSERT_EQ(t_.setStatus(3, 5), 1);
  EXPECT_EQ(t_.findInColumn(3), -1);
  ASSERT_EQ(t_.setStatus(3, 70), 1);
  EXPECT_EQ(t_.findInColumn(3), 3);
}

TEST_F(TableLookupTest, RecordMatchesFindsTheKeyInsideAnyColumn) {
  fill({{"/x", "The Beatles", 7},
        {"/y", "xab", 0},
        {"/z", "abab", 0},
        {"/w", "aab", 0},
        {"/v", "Year 2000", 5}});
  t_.setSearchKey("beat");
  EXPECT_EQ(t_.recordMatches(0), 0);
  t_.setSearchKey("ab");
  EXPECT_EQ(t_.recordMatches(1), 1);
  EXPECT_EQ(t_.recordMatches(2), 2);
  EXPECT_EQ(t_.recordMatches(3), -1);  // the partial match "a" is not examined again
  // The key 0 matches no integer column (every record here has 0 in one) but does match text.
  t_.setSearchKey("0");
  EXPECT_EQ(t_.recordMatches(1), -1);
  EXPECT_EQ(t_.recordMatches(4), 4);
  t_.setSearchKey("7");
  EXPECT_EQ(t_.recordMatches(0), 0);
  t_.setSearchKey("");
  EXPECT_EQ(t_.recordMatches(3), 3);  // an empty key matches any text column
  t_.setSearchKey("AB");
  EXPECT_EQ(t_.findNext(0), 1);
  EXPECT_EQ(t_.findNext(1), 2);
  EXPECT_EQ(t_.findNext(2), -1);
}

TEST_F(TableLookupTest, SortFollowsTheCollationAndKeepsEqualValuesInOrder) {
  fill({{"1", "b", 9}, {"2", "A", 10}, {"3", "a", 100}, {"4", "a", 2}, {"5", "B", 1}});
  ASSERT_EQ(t_.setStatus(1, 5), 1);  // a hole, compacted away first
  ASSERT_EQ(t_.sortByColumn(2, "en_US"), 1);
  EXPECT_EQ(titles(), (std::vector<std::string>{"a", "a", "b", "B"}));
  EXPECT_EQ(*t_.readText(0, 1), "3");  // equal titles keep their order
  EXPECT_EQ(*t_.readText(1, 1), "4");
  // Integers sort by their decimal text: 10 before 9.
  ASSERT_EQ(t_.setStatus(4, 10), 1);  // the compaction's copy of "B" comes back
  ASSERT_EQ(t_.sortByColumn(3, ""), 1);
  std::vector<uint32_t> numbers;
  for (int32_t s = 0; s < 5; ++s) numbers.push_back(*t_.readInt(s, 3));
  EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 1, 100, 2, 9}));
}

TEST_F(TableLookupTest, TablesOfCapacityTwoOrLessAreNotSorted) {
  std::vector<int32_t> statuses = {10, 10};
  testing::writeShapedTable(path_, {12}, statuses);
  t_.setPath(path_);
  t_.setWritable(true);
  ASSERT_TRUE(t_.open().ok());
  EXPECT_EQ(t_.sortByColumn(1, ""), 0);
}

TEST_F(TableLookupTest, WindowsTextsSortByTheirLetters) {
  // "\xC9" is É in Windows-1252 (not valid UTF-8), "\xC3\xA9" is é in UTF-8.
  fill({{"1", "f", 0}, {"2", "\xC9t\xE9", 0}, {"3", "e", 0}, {"4", "\xC3\xA9t\xC3\xA9", 0}});
  ASSERT_EQ(t_.sortByColumn(2, "fr_FR"), 1);
  const auto order = titles();
  EXPECT_EQ(order.front(), "e");
  EXPECT_EQ(order.back(), "f");
}

}  // namespace
}  // namespace tunora::marlbase

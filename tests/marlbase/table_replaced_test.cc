// Another program cuts or replaces the table file while a handle has it open (a copy of a
// shorter table over it, a truncation): the handle's next operation, read or write, fails without
// touching the mapping (no fault) and says the file changed on disk, and nothing of it reaches the
// file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "marlbase/table_handle.h"
#include "tests/marlbase/table_test_util.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::writeBytes;

// A table of `records` live records: a 1000-byte path, a 64-byte title and a number.
std::vector<uint8_t> tableBytes(const std::string& path, int records) {
  EXPECT_TRUE(testing::makeTable(path, {14, 12, 2}));
  TableHandle t;
  t.setPath(path);
  t.setWritable(true);
  EXPECT_TRUE(t.open().ok());
  for (int i = 0; i < records; ++i) {
    const int32_t slot = t.allocate();
    EXPECT_GE(slot, 0);
    t.writeText(slot, 1, "/music/song" + std::to_string(i) + ".mp3");
    t.writeText(slot, 2, "title " + std::to_string(i));
    t.writeInt(slot, 3, static_cast<uint32_t>(i));
  }
  t.close();
  return readBytes(path);
}

struct Replacement {
  const char* what;
  // The file's new contents, given the old ones and a shorter table.
  std::vector<uint8_t> (*bytes)(const std::vector<uint8_t>& old, const std::vector<uint8_t>& small);
};

const Replacement kReplacements[] = {
    {"cut to nothing", [](const std::vector<uint8_t>&,
                          const std::vector<uint8_t>&) { return std::vector<uint8_t>{}; }},
    {"cut in half",
     [](const std::vector<uint8_t>& old, const std::vector<uint8_t>&) {
       return std::vector<uint8_t>(old.begin(), old.begin() + static_cast<long>(old.size() / 2));
     }},
    {"a shorter table copied over it",
     [](const std::vector<uint8_t>&, const std::vector<uint8_t>& small) { return small; }},
};

TEST(TableReplacedTest, AFileCutUnderAnOpenHandleIsNeitherReadNorWritten) {
  for (const Replacement& r : kReplacements) {
    for (const bool writable : {true, false}) {
      SCOPED_TRACE(std::string(r.what) + (writable ? ", writer" : ", reader"));
      TempDir dir;
      const std::string path = dir.file("Tunora.mbf");
      const std::vector<uint8_t> small = tableBytes(dir.file("small.mbf"), 3);
      const std::vector<uint8_t> old = tableBytes(path, 200);
      TableHandle t;
      t.setPath(path);
      t.setWritable(writable);
      ASSERT_TRUE(t.open().ok());
      const int32_t last = t.lastLive();
      ASSERT_GT(last, 150);

      // Another program (it takes no lock) rewrites the file in place, as a copy over it does.
      const std::vector<uint8_t> now = r.bytes(old, small);
      writeBytes(path, now);
      struct stat before;
      ASSERT_EQ(stat(path.c_str(), &before), 0);

      // Reading the records, the last ones far past the file's new end, does not fault: the
      // first read finds out, and every operation fails from then on.
      for (int32_t s = last; s >= 0; --s) EXPECT_EQ(t.readField(s, 1), -1) << s;
      EXPECT_TRUE(t.changedOnDisk());
      EXPECT_EQ(t.readText(1, 2), std::nullopt);
      EXPECT_EQ(t.peekStatus(1), std::nullopt);
      EXPECT_EQ(t.findInColumn(1), -1);
      EXPECT_FALSE(t.writeText(last, 2, "changed"));
      EXPECT_EQ(t.setStatus(1, kStatusDeleted), 0);
      EXPECT_EQ(t.copySlot(1, 2), 0);
      EXPECT_EQ(t.allocate(), -1);
      EXPECT_EQ(t.maintain(), 0);
      EXPECT_EQ(t.sortByColumn(2, ""), 0);
      EXPECT_FALSE(t.setHeaderFlag(1));
      t.close();
      EXPECT_EQ(readBytes(path), now);
      struct stat after;
      ASSERT_EQ(stat(path.c_str(), &after), 0);
      EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
      EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

      // The next open takes the file as it now is.
      t.setWritable(true);
      const Status reopened = t.open();
      EXPECT_EQ(reopened.ok(), now == small) << reopened.message();
      if (reopened.ok()) {
        EXPECT_FALSE(t.changedOnDisk());
        EXPECT_EQ(t.liveCount(), 3);
        EXPECT_TRUE(t.writeText(1, 2, "new title"));
      }
    }
  }
}

}  // namespace
}  // namespace tunora::marlbase

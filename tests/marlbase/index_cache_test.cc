// The index cache beside a table: an open uses it only while it describes the table as it is,
// and whatever happened to the cache or the table, every answer is the table's.
#include "marlbase/index_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "marlbase/table_handle.h"
#include "tests/marlbase/table_test_util.h"

namespace tunora::marlbase {
namespace {

using testing::makeTable;
using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::writeBytes;

constexpr int kRecords = 300;

std::string nameOf(int i) { return "/Music/Song " + std::to_string(i) + ".mp3"; }

// A table of kRecords records (every seventh deleted) written by the engine, whose close leaves
// a cache holding the slot index and the path column's keys.
void makeCachedTable(const std::string& path) {
  ASSERT_TRUE(makeTable(path, {14, 12, 2}));
  TableHandle t;
  t.setPath(path);
  t.setWritable(true);
  ASSERT_TRUE(t.open().ok());
  for (int i = 0; i < kRecords; ++i) {
    const int32_t s = t.allocate();
    ASSERT_GE(s, 0);
    ASSERT_TRUE(t.writeText(s, 1, nameOf(i)));
    ASSERT_TRUE(t.writeInt(s, 3, static_cast<uint32_t>(i)));
  }
  for (int i = 0; i < kRecords; i += 7) ASSERT_EQ(t.setStatus(i, kStatusDeleted), 1);
  t.setSearchKey(nameOf(1));
  ASSERT_EQ(t.findInColumn(1), 1);  // builds the path column's index
  t.close();
}

// Everything the answers below depend on, read by an open's slot index and lookups.
struct Answers {
  int32_t live = 0;
  std::vector<int32_t> live_slots;  // by nthLive
  std::vector<int32_t> found;       // findInColumn of a few names
  bool operator==(const Answers&) const = default;
};

void PrintTo(const Answers& a, std::ostream* os) {
  *os << "live " << a.live << ", live slots " << ::testing::PrintToString(a.live_slots)
      << ", found " << ::testing::PrintToString(a.found);
}

std::vector<std::string> probes() {
  return {nameOf(1), nameOf(7), nameOf(150), "/none", nameOf(299)};
}

Answers answersOf(TableHandle& t) {
  Answers a;
  a.live = t.liveCount();
  for (int32_t n = 1;; ++n) {
    const int32_t s = t.nthLive(n);
    if (s < 0) break;
    a.live_slots.push_back(s);
  }
  for (const std::string& p : probes()) {
    t.setSearchKey(p);
    a.found.push_back(t.findInColumn(1));
  }
  return a;
}

// The same answers from the table's bytes alone, no index involved.
Answers truthOf(const std::string& path) {
  TableHandle t;
  t.setPath(path);
  Answers a;
  if (!t.open().ok()) return a;
  for (uint32_t s = 0; s < t.capacity(); ++s) {
    if (*t.peekStatus(static_cast<int32_t>(s)) == kStatusLive)
      a.live_slots.push_back(static_cast<int32_t>(s));
  }
  a.live = static_cast<int32_t>(a.live_slots.size());
  for (const std::string& p : probes()) {
    int32_t found = -1;
    for (uint32_t s = t.capacity() - 1; s >= 1 && found < 0; --s) {
      const std::string_view field = t.peekField(static_cast<int32_t>(s), 1);
      if (*t.peekStatus(static_cast<int32_t>(s)) > kHighestFreeStatus &&
          std::string(field.data(), strnlen(field.data(), field.size())) == p) {
        found = static_cast<int32_t>(s);
      }
    }
    a.found.push_back(found);
  }
  return a;
}

void flipByte(const std::string& file, size_t at) {
  std::vector<uint8_t> bytes = readBytes(file);
  ASSERT_LT(at, bytes.size());
  bytes[at] ^= 0x5A;
  writeBytes(file, bytes);
}

// Another program's write of one status word straight into the file (as a copy of the program
// that keeps no cache, or a peer over the network, would).
void foreignStatusWrite(const std::string& table, uint32_t slot, int32_t status) {
  TableHandle probe;
  probe.setPath(table);
  ASSERT_TRUE(probe.open().ok());
  const off_t at = static_cast<off_t>(1444 + 8 * 3 + uint64_t{slot} * probe.recordSize());
  probe.close();
  const int fd = ::open(table.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const uint8_t word[4] = {static_cast<uint8_t>(status), 0, 0, 0};
  ASSERT_EQ(pwrite(fd, word, 4, at), 4);
  ::close(fd);
}

enum class Use { kYes, kNo, kEither };

struct Case {
  const char* name;
  // Done to the table or its cache after makeCachedTable.
  std::function<void(const std::string& table, const std::string& cache, TempDir& dir)> disturb;
  Use use;
};

TEST(IndexCacheTest, AnOpenUsesTheCacheOnlyWhileItDescribesTheTableAndAnswersAreAlwaysRight) {
  const std::vector<Case> cases = {
      {"unchanged", [](auto&, auto&, auto&) {}, Use::kYes},
      {"cache missing", [](auto&, const std::string& c, auto&) { unlink(c.c_str()); }, Use::kNo},
      {"cache empty",
       [](auto&, const std::string& c, auto&) { writeBytes(c, std::vector<uint8_t>{}); }, Use::kNo},
      {"cache cut in its slot part",
       [](auto&, const std::string& c, auto&) { truncate(c.c_str(), 200); }, Use::kNo},
      {"cache cut in its last column",
       [](auto&, const std::string& c, auto&) {
         truncate(c.c_str(), static_cast<off_t>(std::filesystem::file_size(c) - 8));
       },
       Use::kNo},
      {"cache header damaged", [](auto&, const std::string& c, auto&) { flipByte(c, 30); },
       Use::kNo},
      {"cache part list damaged", [](auto&, const std::string& c, auto&) { flipByte(c, 110); },
       Use::kNo},
      {"cache slot part damaged", [](auto&, const std::string& c, auto&) { flipByte(c, 200); },
       Use::kEither},
      {"cache column part damaged",
       [](auto&, const std::string& c, auto&) {
         flipByte(c, static_cast<size_t>(std::filesystem::file_size(c) - 20));
       },
       Use::kEither},
      {"cache of another table",
       [](auto&, const std::string& c, TempDir& dir) {
         const std::string other = dir.file("other.mbf");
         makeCachedTable(other);
         std::filesystem::copy_file(indexCachePathFor(other), c,
                                    std::filesystem::copy_options::overwrite_existing);
       },
       Use::kNo},
      {"cache is a folder (cannot be read or written)",
       [](auto&, const std::string& c, auto&) {
         unlink(c.c_str());
         std::filesystem::create_directory(c);
       },
       Use::kNo},
      {"table written by a program that keeps no cache",
       [](const std::string& t, auto&, auto&) { foreignStatusWrite(t, 2, kStatusDeleted); },
       Use::kNo},
      {"table written by a program that keeps no cache, a free slot made live",
       [](const std::string& t, auto&, auto&) { foreignStatusWrite(t, 7, kStatusLive); }, Use::kNo},
      {"table replaced by another file of the same size",
       [](const std::string& t, auto&, TempDir& dir) {
         std::vector<uint8_t> bytes = readBytes(t);
         std::vector<uint8_t> changed = bytes;
         TableHandle probe;
         probe.setPath(t);
         ASSERT_TRUE(probe.open().ok());
         const size_t at = 1444 + 8 * 3 + 4 * size_t{probe.recordSize()};
         probe.close();
         changed[at] = kStatusDeleted;
         const std::string temp = dir.file("replacement");
         writeBytes(temp, changed);
         ASSERT_EQ(std::filesystem::file_size(temp), bytes.size());
         std::filesystem::rename(temp, t);
       },
       Use::kNo},
      {"table replaced by a copy given the old modification time",
       [](const std::string& t, auto&, TempDir& dir) {
         struct stat before;
         ASSERT_EQ(stat(t.c_str(), &before), 0);
         const std::string temp = dir.file("copy");
         writeBytes(temp, readBytes(t));
         const struct timespec times[2] = {before.st_atim, before.st_mtim};
         ASSERT_EQ(utimensat(AT_FDCWD, temp.c_str(), times, 0), 0);
         std::filesystem::rename(temp, t);
       },
       Use::kNo},
      {"table written again by the engine",
       [](const std::string& t, auto&, auto&) {
         TableHandle w;
         w.setPath(t);
         w.setWritable(true);
         ASSERT_TRUE(w.open().ok());
         ASSERT_EQ(w.setStatus(5, kStatusDeleted), 1);
         for (int i = 0; i < 40; ++i) ASSERT_TRUE(w.writeText(w.allocate(), 1, nameOf(1000 + i)));
         ASSERT_TRUE(w.writeText(150, 1, "/renamed.mp3"));
         w.close();
       },
       Use::kYes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string table = dir.file("t.mbf");
    const std::string cache = indexCachePathFor(table);
    makeCachedTable(table);
    ASSERT_TRUE(std::filesystem::exists(cache));
    c.disturb(table, cache, dir);
    const Answers truth = truthOf(table);
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round == 0 ? "first open" : "open after the first one's close");
      TableHandle t;
      t.setPath(table);
      ASSERT_TRUE(t.open().ok());
      if (round == 0 && c.use != Use::kEither) {
        EXPECT_EQ(t.TEST_openUsedIndexCache(), c.use == Use::kYes);
      }
      EXPECT_EQ(answersOf(t), truth);
      t.close();
    }
  }
}

// A reader's close writes a cache only when no later change of the table could give it the same
// times: not right after another program wrote it.
TEST(IndexCacheTest, NoCacheIsWrittenForATableJustChangedByAnotherProgram) {
  TempDir dir;
  const std::string table = dir.file("t.mbf");
  const std::string cache = indexCachePathFor(table);
  makeCachedTable(table);
  foreignStatusWrite(table, 2, kStatusDeleted);
  TableHandle t;
  t.setPath(table);
  ASSERT_TRUE(t.open().ok());
  EXPECT_FALSE(t.TEST_openUsedIndexCache());
  t.close();
  TableHandle again;
  again.setPath(table);
  ASSERT_TRUE(again.open().ok());
  EXPECT_FALSE(again.TEST_openUsedIndexCache());
  EXPECT_EQ(answersOf(again), truthOf(table));
}

// The cache file is only ever read: a table whose cache cannot be written still opens, writes
// and closes normally.
TEST(IndexCacheTest, AWriterWhoseCacheCannotBeWrittenWorksAsWithout) {
  TempDir dir;
  const std::string table = dir.file("t.mbf");
  makeCachedTable(table);
  const std::string cache = indexCachePathFor(table);
  unlink(cache.c_str());
  std::filesystem::create_directory(cache);
  TableHandle w;
  w.setPath(table);
  w.setWritable(true);
  ASSERT_TRUE(w.open().ok());
  ASSERT_EQ(w.setStatus(4, kStatusDeleted), 1);
  w.close();
  EXPECT_TRUE(std::filesystem::is_directory(cache));
  TableHandle t;
  t.setPath(table);
  ASSERT_TRUE(t.open().ok());
  EXPECT_EQ(answersOf(t), truthOf(table));
}

}  // namespace
}  // namespace tunora::marlbase

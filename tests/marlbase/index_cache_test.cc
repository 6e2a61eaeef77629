// The index cache beside a table: an open uses it only while it describes the table as it is,
// and whatever happened to the cache or the table, every answer is the table's.
#include "marlbase/index_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "marlbase/table_handle.h"
#include "tests/support/cached_table.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

namespace fs = std::filesystem;
using tunora::testing::answersOf;
using tunora::testing::CachedTable;
using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::truthOf;
using tunora::testing::writeBytes;

const CachedTable kShape{.records = 300, .delete_every = 7};

std::vector<std::string> probes() {
  const auto p = CachedTable::pathOf;
  return {p(1), p(7), p(150), "/none", p(299)};
}

off_t statusOffset(const std::string& table, uint32_t slot) {
  TableHandle probe;
  probe.setPath(table);
  EXPECT_TRUE(probe.open().ok());
  return static_cast<off_t>(1444 + 8 * 2 + uint64_t{slot} * probe.recordSize());
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
  const off_t at = statusOffset(table, slot);
  const int fd = ::open(table.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const uint8_t word[4] = {static_cast<uint8_t>(status), 0, 0, 0};
  ASSERT_EQ(pwrite(fd, word, 4, at), 4);
  ::close(fd);
}

void makeCacheAFolder(const std::string& cache) {
  unlink(cache.c_str());
  fs::create_directory(cache);
}

void engineWrites(const std::string& table) {
  TableHandle w;
  w.setPath(table);
  w.setWritable(true);
  ASSERT_TRUE(w.open().ok());
  ASSERT_EQ(w.setStatus(5, kStatusDeleted), 1);
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(w.writeText(w.allocate(), 1, CachedTable::pathOf(1000 + i)));
  }
  ASSERT_TRUE(w.writeText(150, 1, "/renamed.mp3"));
}

enum class Use { kYes, kNo, kEither };

TEST(IndexCacheTest, AnOpenUsesTheCacheOnlyWhileItDescribesTheTableAndAnswersAreAlwaysRight) {
  using Disturb = std::function<void(const std::string& table, const std::string& cache, TempDir&)>;
  const struct {
    const char* name;
    Disturb disturb;  // done to the table or its cache after makeCachedTable
    Use use;          // by the first open
    Use again;        // by the next open (a reader's close writes a cache only for a table
                      // written by the engine or unchanged for a while)
  } cases[] = {
      {"unchanged", [](auto&, auto&, auto&) {}, Use::kYes, Use::kYes},
      {"cache missing", [](auto&, const std::string& c, auto&) { unlink(c.c_str()); }, Use::kNo,
       Use::kEither},
      {"cache empty", [](auto&, const std::string& c, auto&) { writeBytes(c, {}); }, Use::kNo,
       Use::kEither},
      {"cache cut in its slot part",
       [](auto&, const std::string& c, auto&) { truncate(c.c_str(), 200); }, Use::kNo,
       Use::kEither},
      {"cache cut in its last column",
       [](auto&, const std::string& c, auto&) {
         truncate(c.c_str(), static_cast<off_t>(fs::file_size(c) - 8));
       },
       Use::kNo, Use::kEither},
      {"cache header damaged", [](auto&, const std::string& c, auto&) { flipByte(c, 30); },
       Use::kNo, Use::kEither},
      {"cache part list damaged", [](auto&, const std::string& c, auto&) { flipByte(c, 110); },
       Use::kNo, Use::kEither},
      {"cache slot part damaged", [](auto&, const std::string& c, auto&) { flipByte(c, 200); },
       Use::kEither, Use::kEither},
      {"cache column part damaged",
       [](auto&, const std::string& c, auto&) {
         flipByte(c, static_cast<size_t>(fs::file_size(c) - 20));
       },
       Use::kEither, Use::kEither},
      {"cache of another table",
       [](auto&, const std::string& c, TempDir& dir) {
         const std::string other = dir.file("other.mbf");
         ASSERT_TRUE(makeCachedTable(other, kShape));
         fs::copy_file(indexCachePathFor(other), c, fs::copy_options::overwrite_existing);
       },
       Use::kNo, Use::kEither},
      {"cache is a folder (cannot be read or written)",
       [](auto&, const std::string& c, auto&) { makeCacheAFolder(c); }, Use::kNo, Use::kNo},
      // The cache is only ever read: a writer whose cache cannot be written works as without.
      {"cache is a folder, then the engine writes",
       [](const std::string& t, const std::string& c, auto&) {
         makeCacheAFolder(c);
         engineWrites(t);
       },
       Use::kNo, Use::kNo},
      // No close writes a cache right after another program wrote the table: a later change
      // could give it the same times.
      {"table written by a program that keeps no cache",
       [](const std::string& t, auto&, auto&) { foreignStatusWrite(t, 2, kStatusDeleted); },
       Use::kNo, Use::kNo},
      {"table written by a program that keeps no cache, a free slot made live",
       [](const std::string& t, auto&, auto&) { foreignStatusWrite(t, 7, kStatusLive); }, Use::kNo,
       Use::kNo},
      {"table replaced by another file of the same size",
       [](const std::string& t, auto&, TempDir& dir) {
         std::vector<uint8_t> bytes = readBytes(t);
         bytes[static_cast<size_t>(statusOffset(t, 4))] = kStatusDeleted;
         writeBytes(dir.file("replacement"), bytes);
         fs::rename(dir.file("replacement"), t);
       },
       Use::kNo, Use::kEither},
      {"table replaced by a copy given the old modification time",
       [](const std::string& t, auto&, TempDir& dir) {
         struct stat before;
         ASSERT_EQ(stat(t.c_str(), &before), 0);
         const std::string temp = dir.file("copy");
         writeBytes(temp, readBytes(t));
         const struct timespec times[2] = {before.st_atim, before.st_mtim};
         ASSERT_EQ(utimensat(AT_FDCWD, temp.c_str(), times, 0), 0);
         fs::rename(temp, t);
       },
       Use::kNo, Use::kEither},
      {"table written again by the engine",
       [](const std::string& t, auto&, auto&) { engineWrites(t); }, Use::kYes, Use::kYes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string table = dir.file("t.mbf");
    const std::string cache = indexCachePathFor(table);
    ASSERT_TRUE(makeCachedTable(table, kShape));
    c.disturb(table, cache, dir);
    const std::vector<int32_t> truth = truthOf(table, probes());
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round == 0 ? "first open" : "open after the first one's close");
      TableHandle t;
      t.setPath(table);
      ASSERT_TRUE(t.open().ok());
      const Use use = round == 0 ? c.use : c.again;
      if (use != Use::kEither) {
        EXPECT_EQ(t.TEST_openUsedIndexCache(), use == Use::kYes);
      }
      EXPECT_EQ(answersOf(t, probes()), truth);
    }
  }
}

}  // namespace
}  // namespace tunora::marlbase

// A column index saved as an image and loaded back: the same answers as the index it was taken
// from, and an image that is not a well-formed index for the table is refused instead of loaded.
// Kept in the index cache: a later open takes it from there only while it still describes the
// column (a writer that changed a few slots carries it over with its delta; one that moved records
// or changed the capacity writes it as it now is, when it looked it up), and every answer is the
// table's. A damaged part is the index cache and column view tests'.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "marlbase/column_index.h"
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

const std::vector<std::string> kProbes = {nameOf(1),   nameOf(9),          nameOf(10),
                                          nameOf(349), "/Music/new 3.mp3", "/none"};

void lookUp(TableHandle& t) {
  t.setSearchKey(nameOf(5));
  ASSERT_GE(t.findInColumn(1), 0);
}

TEST(ColumnCacheTest, ALaterOpenTakesTheColumnIndexFromTheCacheOnlyWhileItHolds) {
  const struct {
    const char* name;
    std::function<void(TableHandle&)> work;
    bool from_cache;  // the next open takes the path column's index from the cache
  } cases[] = {
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
  for (const auto& c : cases) {
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
    const std::vector<int32_t> truth = truthOf(table, kProbes);
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round == 0 ? "first open" : "open after the first one's close");
      TableHandle t;
      t.setPath(table);
      ASSERT_TRUE(t.open().ok());
      EXPECT_EQ(answersOf(t, kProbes), truth);
      // Without a part to take, the first open builds the index and its close writes it.
      EXPECT_EQ(t.TEST_columnsFromIndexCache(), c.from_cache || round == 1 ? 1 : 0);
      t.close();
    }
  }
}

constexpr uint32_t kCapacity = 200;

// Slots 0..149 share 60 keys (lists), 150..179 have keys of their own; the slots of key 7 but
// one are erased again, which leaves a list not in use.
ColumnIndex sampleIndex() {
  ColumnIndex index;
  index.reset(kCapacity);
  for (uint32_t s = 0; s < 150; ++s) index.insert(s, s % 60);
  for (uint32_t s = 150; s < 180; ++s) index.insert(s, 1000 + s);
  for (uint32_t s = 7 + 60; s < 150; s += 60) index.erase(s);
  return index;
}

std::vector<uint32_t> slotsOf(const ColumnIndex& index, uint64_t key) {
  const auto slots = index.slots(key);
  return {slots.begin(), slots.end()};
}

// An image as 32-bit halves: the head's words (the hash table's entry count in half 4, the list
// count in half 8), the keys (one word per slot), the hash table's entries (a key half, then a
// value half: a slot, a list when the top bit is set, UINT32_MAX when unused), then the lists:
// the list starts (half a word each) and their slots.
std::vector<uint32_t> halvesOf(const ColumnIndex::Image& image) {
  std::vector<uint32_t> out;
  const auto add = [&](const void* data, size_t bytes) {
    out.resize(out.size() + bytes / 4);
    std::memcpy(out.data() + out.size() - bytes / 4, data, bytes);
  };
  add(image.head.data(), image.head.size() * 8);
  add(image.keys.data(), image.keys.size() * 8);
  add(image.table.data(), image.table.size());
  add(image.lists.data(), image.lists.size() * 8);
  return out;
}
constexpr size_t kTable = 2 * (ColumnIndex::kImageHeadWords + kCapacity);  // the first entry's half

bool load(ColumnIndex& index, const std::vector<uint32_t>& halves, uint32_t capacity,
          const ColumnIndex& occupied_from) {
  std::vector<uint64_t> occupied((capacity + 63) / 64, 0);
  uint32_t count = 0;
  for (uint32_t s = 0; s < capacity; ++s) {
    if (occupied_from.contains(s)) occupied[s / 64] |= uint64_t{1} << (s % 64), ++count;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(halves.data());
  const size_t size = halves.size() * 4;
  size_t at = 0;
  return index.loadImage(capacity, occupied, count, size, [&](void* into, size_t n) {
    if (n > size - at) return false;
    std::memcpy(into, bytes + at, n);
    at += n;
    return true;
  });
}

TEST(ColumnImageTest, LoadsItsOwnImageAndRefusesAnyThatIsNotAWellFormedIndex) {
  const struct {
    const char* name;
    std::function<void(std::vector<uint32_t>&)> change;
    uint32_t capacity;
    bool loads;
  } cases[] = {
      {"as written", [](auto&) {}, kCapacity, true},
      {"for a table of another capacity", [](auto&) {}, kCapacity + 1, false},
      {"one word short", [](auto& h) { h.resize(h.size() - 2); }, kCapacity, false},
      {"an entry naming a slot past the capacity",
       [](auto& h) {
         size_t v = kTable + 1;
         while (h[v] == UINT32_MAX || (h[v] & 0x80000000u) != 0) v += 2;
         h[v] = kCapacity + 3;
       },
       kCapacity, false},
      {"a list out of order",
       [](auto& h) {
         const size_t first = kTable + 2 * h[4] + h[8];
         std::swap(h[first], h[first + 1]);
       },
       kCapacity, false},
  };
  const ColumnIndex original = sampleIndex();
  const std::vector<uint32_t> pristine = halvesOf(original.image());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint32_t> halves = pristine;
    c.change(halves);
    ColumnIndex loaded;
    ASSERT_EQ(load(loaded, halves, c.capacity, original), c.loads);
    if (!c.loads) {
      EXPECT_EQ(loaded.size(), 0u);
      continue;
    }
    EXPECT_EQ(loaded.size(), original.size());
    for (uint64_t key : {0, 7, 8, 59, 60, 1150, 1179, 5000})
      EXPECT_EQ(slotsOf(loaded, key), slotsOf(original, key)) << "key " << key;
    // The loaded index keeps working: changes after the load answer as on the original.
    loaded.insert(7 + 60, 7);
    loaded.erase(8);
    EXPECT_EQ(slotsOf(loaded, 7), (std::vector<uint32_t>{7, 67}));
    EXPECT_EQ(slotsOf(loaded, 8), (std::vector<uint32_t>{68, 128}));
  }
}

}  // namespace
}  // namespace tunora::marlbase

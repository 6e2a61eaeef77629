// A column index saved as an image and loaded back: the same answers as the index it was taken
// from, and an image that is not a well-formed index for the table is refused instead of loaded.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "marlbase/column_index.h"

namespace tunora::marlbase {
namespace {

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
  struct Case {
    const char* name;
    std::function<void(std::vector<uint32_t>&)> change;
    uint32_t capacity;
    bool loads;
  };
  const std::vector<Case> cases = {
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
  for (const Case& c : cases) {
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
    for (uint64_t key : {0, 7, 8, 59, 60, 1150, 1179, 5000}) {
      EXPECT_EQ(slotsOf(loaded, key), slotsOf(original, key)) << "key " << key;
    }
    // The loaded index keeps working: changes after the load answer as on the original.
    loaded.insert(7 + 60, 7);
    loaded.erase(8);
    EXPECT_EQ(slotsOf(loaded, 7), (std::vector<uint32_t>{7, 67}));
    EXPECT_EQ(slotsOf(loaded, 8), (std::vector<uint32_t>{68, 128}));
  }
}

}  // namespace
}  // namespace tunora::marlbase

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

std::vector<uint8_t> bytesOf(const ColumnIndex::Image& image) {
  std::vector<uint8_t> out;
  const auto add = [&](const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
  };
  add(image.head.data(), image.head.size() * 8);
  add(image.keys.data(), image.keys.size() * 8);
  add(image.table.data(), image.table.size());
  add(image.lists.data(), image.lists.size() * 8);
  return out;
}

// Where things are in an image of sampleIndex, in 64-bit words and in 32-bit halves.
struct Layout {
  size_t table_word = ColumnIndex::kImageHeadWords + kCapacity;
  size_t table_size = 0;
  size_t lists_word = 0;
  size_t list_count = 0;
};

Layout layoutOf(const std::vector<uint8_t>& bytes) {
  Layout l;
  std::memcpy(&l.table_size, bytes.data() + 2 * 8, 8);
  std::memcpy(&l.list_count, bytes.data() + 4 * 8, 8);
  l.lists_word = l.table_word + l.table_size;
  return l;
}

uint32_t half(const std::vector<uint8_t>& bytes, size_t index) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + index * 4, 4);
  return v;
}
void setHalf(std::vector<uint8_t>& bytes, size_t index, uint32_t v) {
  std::memcpy(bytes.data() + index * 4, &v, 4);
}
// The value half of the first entry in use that holds one slot (list == false) or a list.
size_t entryValue(const std::vector<uint8_t>& bytes, bool list) {
  const Layout l = layoutOf(bytes);
  for (size_t e = 0; e < l.table_size; ++e) {
    const uint32_t value = half(bytes, (l.table_word + e) * 2 + 1);
    if (value == UINT32_MAX) continue;
    if (((value & 0x80000000u) != 0) == list) return (l.table_word + e) * 2 + 1;
  }
  return 0;
}

bool load(ColumnIndex& index, const std::vector<uint8_t>& bytes, uint32_t capacity,
          const ColumnIndex& occupied_from) {
  std::vector<uint64_t> occupied((capacity + 63) / 64, 0);
  uint32_t count = 0;
  for (uint32_t s = 0; s < capacity; ++s) {
    if (occupied_from.contains(s)) {
      occupied[s / 64] |= uint64_t{1} << (s % 64);
      ++count;
    }
  }
  size_t at = 0;
  const auto read = [&](void* into, size_t size) {
    if (size > bytes.size() - at) return false;
    std::memcpy(into, bytes.data() + at, size);
    at += size;
    return true;
  };
  return index.loadImage(capacity, occupied, count, bytes.size(), read);
}

TEST(ColumnImageTest, LoadsItsOwnImageAndRefusesAnyThatIsNotAWellFormedIndex) {
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> change;
    uint32_t capacity;
    bool loads;
  };
  const std::vector<Case> cases = {
      {"as written", [](auto&) {}, kCapacity, true},
      {"for a table of another capacity", [](auto&) {}, kCapacity + 1, false},
      {"one word short", [](auto& b) { b.resize(b.size() - 8); }, kCapacity, false},
      {"an entry naming a slot past the capacity",
       [](auto& b) { setHalf(b, entryValue(b, false), kCapacity + 3); }, kCapacity, false},
      {"a list out of order",
       [](auto& b) {
         const Layout l = layoutOf(b);
         const size_t first = l.lists_word * 2 + l.list_count;
         const uint32_t a = half(b, first);
         setHalf(b, first, half(b, first + 1));
         setHalf(b, first + 1, a);
       },
       kCapacity, false},
  };
  const ColumnIndex original = sampleIndex();
  const std::vector<uint8_t> pristine = bytesOf(original.image());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = pristine;
    c.change(bytes);
    ColumnIndex loaded;
    ASSERT_EQ(load(loaded, bytes, c.capacity, original), c.loads);
    if (!c.loads) {
      EXPECT_EQ(loaded.size(), 0u);
      continue;
    }
    EXPECT_EQ(loaded.size(), original.size());
    for (uint64_t key : {0, 7, 8, 59, 60, 1150, 1179, 5000}) {
      const auto want = original.slots(key), got = loaded.slots(key);
      EXPECT_EQ(std::vector<uint32_t>(got.begin(), got.end()),
                std::vector<uint32_t>(want.begin(), want.end()))
          << "key " << key;
    }
    // The loaded index keeps working: changes after the load answer as on the original.
    loaded.insert(7 + 60, 7);
    loaded.erase(8);
    const auto seven = loaded.slots(7);
    EXPECT_EQ(std::vector<uint32_t>(seven.begin(), seven.end()), (std::vector<uint32_t>{7, 67}));
    const auto eight = loaded.slots(8);
    EXPECT_EQ(std::vector<uint32_t>(eight.begin(), eight.end()), (std::vector<uint32_t>{68, 128}));
  }
}

}  // namespace
}  // namespace tunora::marlbase

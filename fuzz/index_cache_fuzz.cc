// Fuzz target: arbitrary bytes read as a table's index cache. The loader must refuse whatever does
// not check out, never read outside the bytes, and give back exactly what a cache it wrote held.
//
// Three reads of each input: the bytes as they are; the bytes with their checksums made right (so
// that the part list and the parts' consistency checks are reached); and a cache written from
// slot statuses taken from the bytes, read back and compared.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "marlbase/index_cache.h"

using namespace tunora::marlbase;

namespace {

template <typename T>
T get(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
void put(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// The key a cache's header names, so that the loader goes past the key comparison.
IndexCacheKey keyOf(const uint8_t* head) {
  IndexCacheKey key;
  key.stamp = {get<uint64_t>(head + 8), get<uint64_t>(head + 16), get<int64_t>(head + 24),
               get<int64_t>(head + 32), get<int64_t>(head + 40)};
  key.capacity = get<uint32_t>(head + 48);
  key.record_size = get<uint32_t>(head + 52);
  key.column_count = get<uint32_t>(head + 56);
  key.header_hash = get<uint64_t>(head + 64);
  return key;
}

void readAll(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 96) return;
  const IndexCacheKey key = keyOf(bytes.data());
  if (key.capacity > (1u << 20) || key.column_count > 64) return;  // keeps memory small
  IndexCacheFile cache;
  if (!cache.openBytes(bytes, key)) return;
  SlotIndex slots;
  if (!cache.readSlots(slots)) slots.reset(key.capacity);
  for (int32_t c : cache.columns()) {
    ColumnIndex index;
    if (!cache.readColumn(c, slots, index)) continue;
    // A loaded index answers every lookup within its arrays.
    for (uint32_t s = 0; s < key.capacity; ++s) {
      if (index.contains(s)) (void)index.slots(index.keyOf(s));
    }
    (void)index.slots(0x1234);
  }
}

// Sets the parts' and the header's checksums to what the bytes hold.
void fixChecksums(std::vector<uint8_t>& bytes) {
  if (bytes.size() < 96) return;
  const uint32_t parts = get<uint32_t>(&bytes[72]);
  if (parts > 65 || bytes.size() < 96 + size_t{parts} * 32) return;
  for (uint32_t i = 0; i < parts; ++i) {
    uint8_t* e = &bytes[96 + size_t{i} * 32];
    const uint64_t offset = get<uint64_t>(e + 8), length = get<uint64_t>(e + 16);
    if (offset <= bytes.size() && length <= bytes.size() - offset) {
      put(e + 24, contentHash(bytes.data() + offset, length));
    }
  }
  std::vector<uint8_t> summed(bytes.begin(), bytes.begin() + 80);
  summed.insert(summed.end(), bytes.begin() + 96, bytes.begin() + 96 + parts * 32);
  put(&bytes[80], contentHash(summed.data(), summed.size()));
}

void roundTrip(const uint8_t* data, size_t size) {
  const auto capacity = static_cast<uint32_t>(std::min<size_t>(size, 4096));
  SlotIndex slots;
  slots.reset(capacity);
  const int32_t kStatuses[] = {0, 5, 10, 1, 9, 11, -1, 10};
  for (uint32_t s = 0; s < capacity; ++s) slots.bulkAdd(s, kStatuses[data[s] % 8]);
  slots.finishBulk();
  IndexCacheKey key;
  key.capacity = capacity;
  key.column_count = 3;
  key.header_hash = contentHash(data, size);
  // Keys from the bytes, so that some are shared by several slots.
  ColumnIndex index;
  index.reset(capacity);
  const SlotSet& occupied = slots.occupiedSlots();
  for (uint32_t s = occupied.next(0); s != SlotSet::kNone; s = occupied.next(s + 1)) {
    index.insert(s, data[(s * 7) % size] % 16);
  }
  const CachedColumn column{2, &index};
  const std::vector<uint8_t> bytes =
      encodeIndexCache(key, static_cast<int32_t>(slots.live().count()), slots, {&column, 1});
  IndexCacheFile cache;
  SlotIndex back;
  ColumnIndex read;
  if (!cache.openBytes(bytes, key) || !cache.readSlots(back) ||
      back.saveWords() != slots.saveWords() || !cache.readColumn(2, back, read) ||
      read.size() != index.size() || cache.hasColumn(1)) {
    std::abort();
  }
  for (uint64_t k = 0; k < 16; ++k) {
    const auto a = index.slots(k), b = read.slots(k);
    if (!std::equal(a.begin(), a.end(), b.begin(), b.end())) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  readAll(bytes);
  fixChecksums(bytes);
  readAll(bytes);
  roundTrip(data, size);
  return 0;
}

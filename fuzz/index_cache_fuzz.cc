// Fuzz target: arbitrary bytes read as a table's index cache and its delta. The loader must refuse
// whatever does not check out, never read outside the bytes, and give back exactly what a cache
// and delta it wrote held.
//
// An input is a cache file, followed by a delta file from the last "MBXD" at a whole 8 bytes past
// the cache's header, if any (else the delta is an empty one naming the cache). Three reads of
// each input: the bytes as they are; the bytes with their checksums, format and names made right
// (so that the part list, the delta and the parts' consistency checks are reached); and a cache
// and delta written from slot statuses taken from the bytes, read back and compared.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "marlbase/index_cache.h"
#include "marlbase/index_delta.h"

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

// A delta with no changes naming the cache `bytes` holds, for the key its header names.
std::vector<uint8_t> emptyDeltaFor(const std::vector<uint8_t>& bytes) {
  IndexDelta delta;
  delta.base_id = get<uint64_t>(&bytes[kIndexCacheIdOffset]);
  delta.key = keyOf(bytes.data());
  delta.live_count = get<int32_t>(&bytes[60]);
  const uint32_t parts = get<uint32_t>(&bytes[72]);
  for (uint32_t i = 0; i < parts && i < 65 && 96 + size_t{i + 1} * 32 <= bytes.size(); ++i) {
    const auto kind = get<int32_t>(&bytes[96 + size_t{i} * 32]);
    if (kind > 0 && (delta.columns.empty() || delta.columns.back() < kind)) {
      delta.columns.push_back(kind);
    }
  }
  return encodeIndexDelta(delta);
}

void readAll(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& delta) {
  if (bytes.size() < 96) return;
  const IndexCacheKey key = keyOf(bytes.data());
  if (key.capacity > (1u << 20) || key.column_count > 64) return;  // keeps memory small
  IndexDelta decoded;
  (void)decodeIndexDelta(delta, decoded);
  IndexCacheFile cache;
  if (!cache.openBytes(bytes, delta, key)) return;
  SlotIndex slots;
  if (!cache.readSlots(slots)) return;
  for (int32_t c : cache.columns()) {
    ColumnIndex index;
    if (!cache.readColumn(c, index)) continue;
    // A loaded index answers every lookup within its arrays, before and after it is made an
    // index of its own.
    for (int round = 0; round < 2; ++round) {
      for (uint32_t s = 0; s < key.capacity; ++s) {
        if (index.contains(s)) (void)index.slots(index.keyOf(s));
      }
      (void)index.slots(0x1234);
      index.materialize();
    }
  }
}

// Sets the format, the parts' and the header's checksums to what the bytes hold, and the delta's
// name, key and checksum to the cache's.
void fixChecksums(std::vector<uint8_t>& bytes, std::vector<uint8_t>& delta) {
  if (bytes.size() < 96) return;
  put<uint32_t>(&bytes[4], 3);
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
  if (delta.size() < 96) {
    delta = emptyDeltaFor(bytes);
    return;
  }
  put(&delta[8], get<uint64_t>(&bytes[kIndexCacheIdOffset]));
  std::memcpy(&delta[16], &bytes[8], 48);  // the table's stamp and sizes
  std::memcpy(&delta[72], &bytes[64], 8);  // the header hash
  std::vector<uint8_t> summed_delta(delta.begin(), delta.begin() + 88);
  summed_delta.insert(summed_delta.end(), delta.begin() + 96, delta.end());
  put(&delta[88], contentHash(summed_delta.data(), summed_delta.size()));
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
  // A delta that frees, takes and rekeys a few slots.
  IndexDelta delta;
  delta.base_id = get<uint64_t>(&bytes[kIndexCacheIdOffset]);
  delta.key = key;
  delta.columns = {2};
  for (uint32_t s = 0; s < capacity; s += 1 + data[s] % 32) {
    const int32_t status = kStatuses[data[(s * 3) % size] % 8];
    delta.slots.push_back(s);
    delta.statuses.push_back(status);
    delta.keys.push_back(data[(s * 5) % size] % 16);
    slots.assign(s, status);
    if (status > kHighestFreeStatus) {
      index.insert(s, delta.keys.back());
    } else {
      index.erase(s);
    }
  }
  delta.live_count = static_cast<int32_t>(slots.live().count());
  const std::vector<uint8_t> delta_bytes = encodeIndexDelta(delta);
  IndexCacheFile cache;
  SlotIndex back;
  ColumnIndex read;
  if (!cache.openBytes(bytes, delta_bytes, key) || !cache.readSlots(back) ||
      back.saveWords() != slots.saveWords() || !cache.readColumn(2, read) ||
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
  size_t split = size;
  for (size_t at = 96; at + 4 <= size; at += 8) {
    if (std::memcmp(data + at, "MBXD", 4) == 0) split = at;
  }
  std::vector<uint8_t> bytes(data, data + split), delta(data + split, data + size);
  if (delta.empty() && bytes.size() >= 96) delta = emptyDeltaFor(bytes);
  readAll(bytes, delta);
  fixChecksums(bytes, delta);
  readAll(bytes, delta);
  roundTrip(data, size);
  return 0;
}

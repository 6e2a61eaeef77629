// The delta file's layout (native byte order, like the cache file's):
//   0   "MBXD", format 1
//   8   the cache file's header checksum
//   16  the table's device, inode, size, modification and change times (ns), 8 bytes each
//   56  capacity, record size, column count, live count (4 bytes each)
//   72  hash of the table's header and column descriptors
//   80  number of slots n, number of columns m (4 bytes each)
//   88  checksum of bytes 0..87 and of everything from 96 on
//   96  the slots (n × 4 bytes), their statuses (n × 4), the columns (m × 4), each padded to a
//       whole 8 bytes, then the keys (m × n × 8)
#include "marlbase/index_delta.h"

#include <cstring>

#include "marlbase/cache_fields.h"

namespace tunora::marlbase {
namespace {

constexpr char kDeltaMagic[4] = {'M', 'B', 'X', 'D'};
constexpr uint32_t kDeltaFormat = 1;
constexpr size_t kDeltaHead = 96;

size_t padded(size_t count) { return (count * 4 + 7) / 8 * 8; }

using cache_fields::get;
using cache_fields::put;

uint64_t checksumOf(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> summed(bytes.begin(), bytes.begin() + 88);
  summed.insert(summed.end(), bytes.begin() + kDeltaHead, bytes.end());
  return contentHash(summed.data(), summed.size());
}

}  // namespace

std::vector<uint8_t> encodeIndexDelta(const IndexDelta& delta) {
  const size_t n = delta.slots.size(), m = delta.columns.size();
  std::vector<uint8_t> out(kDeltaHead + 2 * padded(n) + padded(m) + m * n * 8, 0);
  std::memcpy(out.data(), kDeltaMagic, 4);
  put(out, 4, kDeltaFormat);
  put(out, 8, delta.base_id);
  put(out, 16, delta.key.stamp.device);
  put(out, 24, delta.key.stamp.inode);
  put(out, 32, delta.key.stamp.size);
  put(out, 40, delta.key.stamp.mtime_ns);
  put(out, 48, delta.key.stamp.ctime_ns);
  put(out, 56, delta.key.capacity);
  put(out, 60, delta.key.record_size);
  put(out, 64, delta.key.column_count);
  put(out, 68, delta.live_count);
  put(out, 72, delta.key.header_hash);
  put(out, 80, static_cast<uint32_t>(n));
  put(out, 84, static_cast<uint32_t>(m));
  size_t at = kDeltaHead;
  if (n > 0) std::memcpy(&out[at], delta.slots.data(), n * 4);
  at += padded(n);
  if (n > 0) std::memcpy(&out[at], delta.statuses.data(), n * 4);
  at += padded(n);
  if (m > 0) std::memcpy(&out[at], delta.columns.data(), m * 4);
  at += padded(m);
  if (m * n > 0) std::memcpy(&out[at], delta.keys.data(), m * n * 8);
  put(out, 88, checksumOf(out));
  return out;
}

bool decodeIndexDelta(std::span<const uint8_t> bytes, IndexDelta& delta) {
  if (bytes.size() < kDeltaHead || std::memcmp(bytes.data(), kDeltaMagic, 4) != 0 ||
      get<uint32_t>(&bytes[4]) != kDeltaFormat) {
    return false;
  }
  IndexDelta d;
  d.base_id = get<uint64_t>(&bytes[8]);
  d.key.stamp = {get<uint64_t>(&bytes[16]), get<uint64_t>(&bytes[24]), get<int64_t>(&bytes[32]),
                 get<int64_t>(&bytes[40]), get<int64_t>(&bytes[48])};
  d.key.capacity = get<uint32_t>(&bytes[56]);
  d.key.record_size = get<uint32_t>(&bytes[60]);
  d.key.column_count = get<uint32_t>(&bytes[64]);
  d.live_count = get<int32_t>(&bytes[68]);
  d.key.header_hash = get<uint64_t>(&bytes[72]);
  const uint64_t n = get<uint32_t>(&bytes[80]), m = get<uint32_t>(&bytes[84]);
  if (n > d.key.capacity || m > d.key.column_count || d.live_count < 0 ||
      static_cast<uint32_t>(d.live_count) > d.key.capacity ||
      bytes.size() != kDeltaHead + 2 * padded(n) + padded(m) + m * n * 8 ||
      get<uint64_t>(&bytes[88]) != checksumOf(bytes)) {
    return false;
  }
  d.slots.resize(n);
  d.statuses.resize(n);
  d.columns.resize(m);
  d.keys.resize(m * n);
  size_t at = kDeltaHead;
  if (n > 0) std::memcpy(d.slots.data(), &bytes[at], n * 4);
  at += padded(n);
  if (n > 0) std::memcpy(d.statuses.data(), &bytes[at], n * 4);
  at += padded(n);
  if (m > 0) std::memcpy(d.columns.data(), &bytes[at], m * 4);
  at += padded(m);
  if (m * n > 0) std::memcpy(d.keys.data(), &bytes[at], m * n * 8);
  for (size_t i = 0; i < n; ++i) {
    if (d.slots[i] >= d.key.capacity || (i > 0 && d.slots[i - 1] >= d.slots[i])) return false;
  }
  for (size_t i = 0; i < m; ++i) {
    if (d.columns[i] < 1 || static_cast<uint32_t>(d.columns[i]) > d.key.column_count ||
        (i > 0 && d.columns[i - 1] >= d.columns[i])) {
      return false;
    }
  }
  delta = std::move(d);
  return true;
}

}  // namespace tunora::marlbase

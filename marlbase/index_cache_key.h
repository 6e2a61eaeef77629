// What an index cache and its delta say about the table they describe, so that an open uses them
// only for that table as it is now.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace tunora::marlbase {

// What identifies the table file's state.
struct TableStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtime_ns = 0;
  int64_t ctime_ns = 0;
  bool operator==(const TableStamp&) const = default;
};

// What must agree between the cache and the table before the cache is used.
struct IndexCacheKey {
  TableStamp stamp;
  uint32_t capacity = 0;
  uint32_t record_size = 0;
  uint32_t column_count = 0;
  uint64_t header_hash = 0;  // contentHash of the table's header and column descriptors
  bool operator==(const IndexCacheKey&) const = default;
};

// A 64-bit hash of bytes, for the checksums and the header hash.
uint64_t contentHash(const uint8_t* data, size_t size);

}  // namespace tunora::marlbase

// The index cache: a table's slot index and column lookup indexes kept in a file beside it
// ("<table>.index"), so that an open reads a few hundred bytes instead of every record's status
// word. The table file itself is never changed by it.
//
// The cache says which table state it describes: the table file's device, inode, size,
// modification and change times (to the nanosecond) and a hash of its header and column
// descriptors. An open uses it only when all of them are the table's now; otherwise it builds
// the index from the table as before. Every part of the cache carries a checksum, and a part that
// does not check out is built from the table instead: a missing, damaged, foreign or cut cache
// costs time, never a wrong answer. See "The index cache" in FORMAT.md for when a cache is written
// and why its times can be trusted.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "marlbase/column_index.h"
#include "marlbase/slot_index.h"

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

inline std::string indexCachePathFor(const std::string& table_path) {
  return table_path + ".index";
}

// One part of a cache file to write: its bytes in pieces laid out one after another, and its
// checksum when already known (a part carried over from the cache read at open).
struct CachePart {
  uint32_t kind = 0;  // 0 the slot index, otherwise a column number
  std::vector<std::span<const uint8_t>> pieces;
  std::optional<uint64_t> checksum;
};

// The head of a cache file (its header and part list) describing `key`, with the live count,
// for these parts laid out after it in order.
std::vector<uint8_t> encodeIndexCacheHead(const IndexCacheKey& key, int32_t live_count,
                                          std::span<const CachePart> parts);

// A column's lookup index to write into a cache.
struct CachedColumn {
  int32_t column = 0;
  const ColumnIndex* index = nullptr;
};

// The pieces of a column part holding a lookup index's image.
std::vector<std::span<const uint8_t>> imagePieces(const ColumnIndex::Image& image);

// The bytes of a whole cache file describing `key`, with the live count, the slot index and the
// columns' lookup indexes.
std::vector<uint8_t> encodeIndexCache(const IndexCacheKey& key, int32_t live_count,
                                      const SlotIndex& slots,
                                      std::span<const CachedColumn> columns);

// A cache file as an open found it: its header is whole and its key is the table's. The slot
// index and the columns are read from it when first asked for.
class IndexCacheFile {
 public:
  IndexCacheFile() = default;
  ~IndexCacheFile();
  IndexCacheFile(const IndexCacheFile&) = delete;
  IndexCacheFile& operator=(const IndexCacheFile&) = delete;

  // Opens the cache at `path`; true when its header checks out and describes `key`. Reads only
  // the header and the part list.
  bool open(const std::string& path, const IndexCacheKey& key);
  // The same over bytes already in memory (for the fuzz test).
  bool openBytes(std::span<const uint8_t> bytes, const IndexCacheKey& key);
  int32_t liveCount() const { return live_count_; }
  // Fills `slots` for the key's capacity; false (slots then undefined) when the part is missing,
  // damaged or inconsistent, or disagrees with the live count.
  bool readSlots(SlotIndex& slots) const;
  bool hasColumn(int32_t column) const;
  // Loads a column's lookup index for the table whose slot index is `slots`; false (the index
  // then empty) when the part is missing, damaged or does not fit the slots.
  bool readColumn(int32_t column, const SlotIndex& slots, ColumnIndex& index) const;
  // The column numbers the cache holds.
  std::vector<int32_t> columns() const;
  // A column's part as the file holds it, unchecked, with the checksum it was written with, to
  // be written into the next cache unchanged. Valid while this object lives. False when the
  // bytes cannot be had.
  bool rawColumn(int32_t column, std::span<const uint8_t>& bytes, uint64_t& checksum) const;

 private:
  struct Part {
    uint32_t kind = 0;  // 0 the slot index, otherwise a column number
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t checksum = 0;
  };
  bool parseHead(std::span<const uint8_t> head, uint64_t file_size, const IndexCacheKey& key);
  bool readPart(const Part& part, std::vector<uint8_t>& out) const;
  const Part* findPart(uint32_t kind) const;

  int fd_ = -1;
  uint64_t file_size_ = 0;
  mutable const uint8_t* map_ = nullptr;  // the file mapped by rawColumn
  std::span<const uint8_t> bytes_;        // with openBytes
  IndexCacheKey key_;
  int32_t live_count_ = 0;
  std::vector<Part> parts_;
};

}  // namespace tunora::marlbase

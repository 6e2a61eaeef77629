// The index cache: a table's slot index and column lookup indexes kept in a file beside it
// ("<table>.index"), with a delta file naming it (marlbase/index_delta.h), so that an open reads a
// few hundred bytes instead of every record's status word. The table file itself is never changed
// by them.
//
// The delta says which table state the pair describes: the table file's device, inode, size,
// modification and change times (to the nanosecond) and a hash of its header and column
// descriptors. An open uses the pair only when all of them are the table's now; otherwise it builds
// the index from the table as before. Every part of the cache carries a checksum (a column part one
// per block, checked as lookups read it), and a part that does not check out is built from the
// table instead: a missing, damaged, foreign or cut cache or delta costs time, never a wrong
// answer. See "The index cache" in FORMAT.md for when they are written and why their times can be
// trusted.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "marlbase/column_index.h"
#include "marlbase/index_cache_key.h"
#include "marlbase/index_delta.h"
#include "marlbase/slot_index.h"

namespace tunora::marlbase {

// Where a cache file's header checksum lies: it names the file (a delta names the cache file it
// applies to by it).
inline constexpr size_t kIndexCacheIdOffset = 80;

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

// The pieces of a lookup index's image.
std::vector<std::span<const uint8_t>> imagePieces(const ColumnIndex::Image& image);
// A column's part: its block list (the number of blocks, then the contentHash of each
// ColumnIndex::kViewBlock bytes of the image), which `block_list` receives and the part's checksum
// covers, then the image.
CachePart columnPart(int32_t column, const ColumnIndex::Image& image,
                     std::vector<uint64_t>& block_list);

// The bytes of a whole cache file describing `key`, with the live count, the slot index and the
// columns' lookup indexes.
std::vector<uint8_t> encodeIndexCache(const IndexCacheKey& key, int32_t live_count,
                                      const SlotIndex& slots,
                                      std::span<const CachedColumn> columns);

// A cache file and its delta as an open found them: the cache file's header is whole, the delta
// checks out, names the cache file and describes `key`. The slot index and the columns are read
// when first asked for.
class IndexCacheFile {
 public:
  IndexCacheFile() = default;
  ~IndexCacheFile();
  IndexCacheFile(const IndexCacheFile&) = delete;
  IndexCacheFile& operator=(const IndexCacheFile&) = delete;

  // Opens the cache file at `path` and the delta at `delta_path`; true when they check out and
  // describe `key`. Reads only the cache file's header and part list, and the delta.
  bool open(const std::string& path, const std::string& delta_path, const IndexCacheKey& key);
  // The same over bytes already in memory (for the fuzz test), kept by the caller.
  bool openBytes(std::span<const uint8_t> bytes, std::span<const uint8_t> delta,
                 const IndexCacheKey& key);
  int32_t liveCount() const { return delta_.live_count; }
  // The cache file's header checksum, which names it.
  uint64_t id() const { return id_; }
  const IndexDelta& delta() const { return delta_; }
  // Fills `slots` for the key's capacity: the cache file's slot sets with the delta's statuses;
  // false (slots then undefined) when the part is missing, damaged or inconsistent, or
  // disagrees with a live count.
  bool readSlots(SlotIndex& slots);
  bool hasColumn(int32_t column) const;
  // Makes `index` a view of a column's lookup index in the cache file (mapped), with the delta's
  // changes. Only after readSlots succeeded. False (the index then empty) when the part is
  // missing, damaged or does not fit the slots.
  bool readColumn(int32_t column, ColumnIndex& index) const;
  // The column numbers the cache holds (with the delta).
  std::vector<int32_t> columns() const;
  // A column's part as the file holds it, unchecked, with the checksum it was written with, to
  // be written into the next cache unchanged (while the delta is empty). Valid while this object
  // lives. False when the bytes cannot be had.
  bool rawColumn(int32_t column, std::span<const uint8_t>& bytes, uint64_t& checksum) const;

 private:
  struct Part {
    uint32_t kind = 0;  // 0 the slot index, otherwise a column number
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t checksum = 0;
  };
  bool parseHead(std::span<const uint8_t> head, uint64_t file_size, const IndexCacheKey& key);
  const Part* findPart(uint32_t kind) const;
  // The whole file, mapped read-only on first use (or the bytes given to openBytes).
  std::span<const uint8_t> bytes() const;

  int fd_ = -1;
  uint64_t file_size_ = 0;
  mutable std::shared_ptr<const uint8_t> map_;  // the file mapped, kept by the views of it
  std::span<const uint8_t> given_;              // with openBytes
  IndexCacheKey key_;
  uint64_t id_ = 0;
  int32_t file_live_count_ = 0;
  IndexDelta delta_;
  std::vector<Part> parts_;
  // The occupied slots of the state the cache file describes, from readSlots.
  std::vector<uint64_t> file_occupied_;
  uint32_t file_occupied_count_ = 0;
};

}  // namespace tunora::marlbase

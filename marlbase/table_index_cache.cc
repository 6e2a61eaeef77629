// The handle's side of the index cache: finding it at open, reading the slot index and column
// keys from it on first use, and writing it at close.
//
// When a cache may be written: its stamp must be one that no later change of the table can give
// the table again, or a later open could take the cache for the changed table's. A change gives
// the file a modification time from the kernel's coarse clock (on some file systems rounded to a
// coarser step still), so a table whose times are older than the coarse clock by more than the
// widest such step (kSettleNs) is safe. So is a modification time our own writer's close set from
// the fine clock when the file system kept it to the nanosecond: later changes get either the
// coarse clock's present value, which differs from it, or a time past the present.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <span>

#include "marlbase/index_delta.h"
#include "marlbase/table_handle.h"
#include "util/atomic_file.h"

namespace tunora::marlbase {
namespace {

constexpr int64_t kSettleNs = 2'000'000'000;

int64_t nanosecondsOf(clockid_t clock) {
  struct timespec t;
  clock_gettime(clock, &t);
  return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

}  // namespace

void TableHandle::startIndex(const TableStamp& stamp) {
  open_stamp_ = stamp;
  close_stamp_ns_ = 0;
  save_index_cache_ = false;
  open_used_index_cache_ = false;
  slots_pending_ = false;
  columns_from_index_cache_ = 0;
  if (open_used_cache_) {
    // What the last close kept, the cache it derives from and the slots changed since included.
    recount();
  } else {
    column_indexes_.clear();
    index_cache_.reset();
    touched_.clear();
    whole_cache_ = false;
    if (loadIndexCache(stamp)) {
      open_used_index_cache_ = true;
    } else {
      rebuildIndex();
      recount();
      save_index_cache_ = true;
    }
  }
  if (map_writable_) {
    // Every write keeps the slot index current from the status it replaces, so a writer has it
    // whole before its first write.
    (void)slots();
    // A writer killed before its close must leave nothing that describes the table as it was.
    dropIndexCacheFile();
  }
}

IndexCacheKey TableHandle::indexCacheKey(const TableStamp& stamp, const uint8_t* map,
                                         size_t map_size) const {
  IndexCacheKey key;
  key.stamp = stamp;
  key.capacity = capacity_;
  key.record_size = record_size_;
  key.column_count = static_cast<uint32_t>(column_count_);
  key.header_hash = contentHash(map, std::min<size_t>(record_area_, map_size));
  return key;
}

bool TableHandle::loadIndexCache(const TableStamp& stamp) {
  auto cache = std::make_unique<IndexCacheFile>();
  if (!cache->open(indexCachePathFor(path_), indexDeltaPathFor(path_),
                   indexCacheKey(stamp, base_, map_size_))) {
    return false;
  }
  live_count_.store(cache->liveCount(), std::memory_order_relaxed);
  touched_.insert(cache->delta().slots.begin(), cache->delta().slots.end());
  index_ = SlotIndex();
  slots_pending_ = true;
  index_cache_ = std::move(cache);
  return true;
}

void TableHandle::loadPendingSlots() const {
  slots_pending_ = false;
  if (index_cache_ && index_cache_->readSlots(index_)) return;
  // The cache's slot part is damaged: build the index from the table after all.
  index_cache_.reset();
  touched_.clear();
  rebuildIndex();
  live_count_.store(static_cast<int32_t>(index_.live().count()), std::memory_order_relaxed);
  save_index_cache_ = true;
}

bool TableHandle::cachedColumnCurrent(int32_t column) const {
  return index_cache_ && !whole_cache_ && index_cache_->hasColumn(column);
}

bool TableHandle::loadCachedColumn(int32_t column, ColumnIndex& index) {
  // The cache with its delta describes the table as it was at the cache's last writing: with the
  // slots changed since then taken from the table, it holds while no record moved and the
  // capacity did not change.
  if (!cachedColumnCurrent(column)) return false;
  (void)slots();
  if (!index_cache_ || !index_cache_->readColumn(column, index)) {
    // The part does not hold: the close writes a whole cache, never this part again.
    whole_cache_ = true;
    return false;
  }
  for (uint32_t s : touched_) {
    if (statusAt(s) > kHighestFreeStatus) {
      index.insert(s, fieldKey(s, column));
    } else {
      index.erase(s);
    }
  }
  ++columns_from_index_cache_;
  return true;
}

void TableHandle::dropIndexCacheFile() {
  unlink(indexDeltaPathFor(path_).c_str());
  save_index_cache_ = true;
}

void TableHandle::finishIndexCache(bool can_save) {
  if (can_save && (save_index_cache_ || dirty_)) saveIndexCache();
  if (!cache_.valid) {
    // What this open found is dropped with the slot index: the next open reads the files again.
    index_cache_.reset();
    touched_.clear();
    whole_cache_ = false;
  }
  slots_pending_ = false;
  save_index_cache_ = false;
}

namespace {

// Only ever plain files of our own, replaced whole: never written through a link to elsewhere.
bool writeCacheFile(const std::string& path, std::span<const std::span<const uint8_t>> pieces) {
  struct stat existing;
  if (lstat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return false;
  ReplaceOptions options;
  options.sync = false;
  return replaceFile(path, pieces, options).ok();
}

}  // namespace

void TableHandle::saveIndexCache() {
  const int64_t coarse = nanosecondsOf(CLOCK_REALTIME_COARSE);
  const int64_t fine = nanosecondsOf(CLOCK_REALTIME);
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return;
  const TableStamp now{st.st_dev, st.st_ino, st.st_size,
                       st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec,
                       st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec};
  // A reader's index is the table as it was at open: another program's change since then (one
  // that takes no lock) leaves it describing an older table.
  if (!dirty_ && !(now == open_stamp_)) return;
  const bool carried = !dirty_ && index_cache_ != nullptr;
  const bool own_stamp = dirty_ && now.mtime_ns == close_stamp_ns_ && close_stamp_ns_ <= fine &&
                         close_stamp_ns_ != coarse;
  const bool settled = std::max(now.mtime_ns, now.ctime_ns) + kSettleNs < coarse;
  if (!carried && !own_stamp && !settled) return;
  const uint8_t* map = kept_map_ != nullptr ? kept_map_ : base_;
  const size_t map_size = kept_map_ != nullptr ? kept_size_ : map_size_;
  if (map == nullptr || map_size != static_cast<size_t>(st.st_size)) return;
  // The close has let the mapping go to kept_map_: the statuses and keys are read from it.
  uint8_t* const open_base = base_;
  base_ = const_cast<uint8_t*>(map);
  const SlotIndex& index = slots();
  if (index.capacity() == capacity_) {
    const IndexCacheKey key = indexCacheKey(now, map, map_size);
    const auto live = static_cast<int32_t>(index.live().count());
    if (!saveIndexDelta(key, live)) saveWholeIndexCache(key, live);
  }
  base_ = open_base;
}

// What changed since the cache file, when that is little: the changed slots' statuses and, for
// each column the cache file holds, their keys now.
bool TableHandle::saveIndexDelta(const IndexCacheKey& key, int32_t live) {
  if (!index_cache_ || whole_cache_ || touched_.size() > capacity_ / 32 + 64) return false;
  IndexDelta delta;
  delta.base_id = index_cache_->id();
  delta.key = key;
  delta.live_count = live;
  delta.columns = index_cache_->columns();
  for (size_t c = 0; c < column_indexes_.size(); ++c) {
    // A column built in this open is not in the cache file: a whole cache is written.
    if (column_indexes_[c] && !std::binary_search(delta.columns.begin(), delta.columns.end(),
                                                  static_cast<int32_t>(c + 1))) {
      return false;
    }
  }
  delta.slots.assign(touched_.begin(), touched_.end());
  for (uint32_t s : delta.slots) delta.statuses.push_back(statusAt(s));
  for (int32_t c : delta.columns) {
    for (size_t i = 0; i < delta.slots.size(); ++i) {
      delta.keys.push_back(delta.statuses[i] > kHighestFreeStatus ? fieldKey(delta.slots[i], c)
                                                                  : 0);
    }
  }
  const std::vector<uint8_t> bytes = encodeIndexDelta(delta);
  if (index_cache_hook_) index_cache_hook_();
  const std::span<const uint8_t> piece = bytes;
  (void)writeCacheFile(indexDeltaPathFor(path_), {&piece, 1});
  return true;
}

// A whole cache file with the slot sets and the lookup indexes as they are now, then an empty
// delta naming it.
void TableHandle::saveWholeIndexCache(const IndexCacheKey& key, int32_t live) {
  const std::vector<uint64_t> words = slots().saveWords();
  std::vector<CachePart> parts(1);
  parts[0].pieces = {{reinterpret_cast<const uint8_t*>(words.data()), words.size() * 8}};
  std::vector<ColumnIndex::Image> images;
  std::vector<std::vector<uint64_t>> block_lists(column_indexes_.size());
  images.reserve(column_indexes_.size());
  for (size_t c = 0; c < column_indexes_.size(); ++c) {
    if (!column_indexes_[c]) continue;
    column_indexes_[c]->materialize();
    if (column_indexes_[c]->broken()) {
      column_indexes_[c].reset();  // built again from the table when next looked up
      continue;
    }
    const ColumnIndex::Image& image = images.emplace_back(column_indexes_[c]->image());
    parts.push_back(columnPart(static_cast<int32_t>(c + 1), image, block_lists[c]));
  }
  // The old cache's column parts not loaded go into the new one as they are (their bytes and
  // checksums) while nothing changed since it was written.
  const bool unchanged = index_cache_ && touched_.empty() && !whole_cache_;
  for (int32_t c : unchanged ? index_cache_->columns() : std::vector<int32_t>{}) {
    CachePart kept{static_cast<uint32_t>(c), {{}}, uint64_t{0}};
    if (static_cast<size_t>(c) <= column_indexes_.size() && column_indexes_[c - 1]) continue;
    if (index_cache_->rawColumn(c, kept.pieces[0], *kept.checksum)) parts.push_back(kept);
  }
  std::sort(parts.begin(), parts.end(),
            [](const CachePart& a, const CachePart& b) { return a.kind < b.kind; });
  const std::vector<uint8_t> head = encodeIndexCacheHead(key, live, parts);
  std::vector<std::span<const uint8_t>> pieces{head};
  for (const CachePart& part : parts)
    pieces.insert(pieces.end(), part.pieces.begin(), part.pieces.end());
  IndexDelta delta;
  std::memcpy(&delta.base_id, head.data() + kIndexCacheIdOffset, sizeof delta.base_id);
  delta.key = key;
  delta.live_count = live;
  for (size_t i = 1; i < parts.size(); ++i)
    delta.columns.push_back(static_cast<int32_t>(parts[i].kind));
  const std::vector<uint8_t> delta_bytes = encodeIndexDelta(delta);
  const std::span<const uint8_t> delta_piece = delta_bytes;
  if (index_cache_hook_) index_cache_hook_();
  if (!writeCacheFile(indexCachePathFor(path_), pieces) ||
      !writeCacheFile(indexDeltaPathFor(path_), {&delta_piece, 1})) {
    return;
  }
  // Later closes of this handle write their changes as a delta to the new cache file.
  auto fresh = std::make_unique<IndexCacheFile>();
  SlotIndex check;
  index_cache_.reset();
  touched_.clear();
  whole_cache_ = false;
  if (fresh->open(indexCachePathFor(path_), indexDeltaPathFor(path_), key) &&
      fresh->readSlots(check)) {
    index_cache_ = std::move(fresh);
  } else {
    whole_cache_ = true;
  }
}

}  // namespace tunora::marlbase

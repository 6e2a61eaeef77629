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
#include <ctime>
#include <span>

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
  index_cache_.reset();
  if (open_used_cache_) {
    recount();
  } else {
    column_indexes_.clear();
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
    // A writer killed before its close must leave no cache describing the table as it was.
    dropIndexCacheFile();
  }
}

bool TableHandle::loadIndexCache(const TableStamp& stamp) {
  IndexCacheKey key;
  key.stamp = stamp;
  key.capacity = capacity_;
  key.record_size = record_size_;
  key.column_count = static_cast<uint32_t>(column_count_);
  key.header_hash = contentHash(base_, std::min<size_t>(record_area_, map_size_));
  auto cache = std::make_unique<IndexCacheFile>();
  if (!cache->open(indexCachePathFor(path_), key)) return false;
  live_count_.store(cache->liveCount(), std::memory_order_relaxed);
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
  rebuildIndex();
  live_count_.store(static_cast<int32_t>(index_.live().count()), std::memory_order_relaxed);
  save_index_cache_ = true;
}

bool TableHandle::loadCachedColumn(int32_t column, ColumnIndex& index) {
  // The cache describes the table as this open found it, not after a write.
  if (!index_cache_ || dirty_ || !index_cache_->hasColumn(column)) return false;
  const SlotSet& occupied = slots().occupiedSlots();
  std::vector<uint64_t> keys;
  if (!index_cache_ || !index_cache_->readColumn(column, occupied.count(), keys)) return false;
  size_t i = 0;
  for (uint32_t s = occupied.next(0); s != SlotSet::kNone; s = occupied.next(s + 1)) {
    index.insert(s, keys[i++]);
  }
  return true;
}

void TableHandle::dropIndexCacheFile() {
  unlink(indexCachePathFor(path_).c_str());
  save_index_cache_ = true;
}

void TableHandle::finishIndexCache(bool can_save) {
  if (can_save && (save_index_cache_ || dirty_)) saveIndexCache();
  index_cache_.reset();
  slots_pending_ = false;
  save_index_cache_ = false;
}

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
  const SlotIndex& index = slots();
  if (index.capacity() != capacity_) return;
  IndexCacheKey key;
  key.stamp = now;
  key.capacity = capacity_;
  key.record_size = record_size_;
  key.column_count = static_cast<uint32_t>(column_count_);
  key.header_hash = contentHash(map, std::min<size_t>(record_area_, map_size));
  std::vector<CachedColumn> columns;
  const SlotSet& occupied = index.occupiedSlots();
  for (size_t c = 0; c < column_indexes_.size(); ++c) {
    if (!column_indexes_[c]) continue;
    CachedColumn& out = columns.emplace_back();
    out.column = static_cast<int32_t>(c + 1);
    out.keys.reserve(occupied.count());
    for (uint32_t s = occupied.next(0); s != SlotSet::kNone; s = occupied.next(s + 1)) {
      out.keys.push_back(column_indexes_[c]->keyOf(s));
    }
  }
  // Columns the old cache held and this open did not look at stay in the new one.
  if (carried) {
    for (int32_t c : index_cache_->columns()) {
      if (static_cast<size_t>(c) <= column_indexes_.size() && column_indexes_[c - 1]) continue;
      CachedColumn kept;
      kept.column = c;
      if (index_cache_->readColumn(c, occupied.count(), kept.keys))
        columns.push_back(std::move(kept));
    }
  }
  const std::vector<uint8_t> bytes =
      encodeIndexCache(key, static_cast<int32_t>(index.live().count()), index, columns);
  // Only ever a plain file of our own: never through a link to somewhere else.
  const std::string cache_path = indexCachePathFor(path_);
  struct stat existing;
  if (lstat(cache_path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return;
  if (index_cache_hook_) index_cache_hook_();
  const std::span<const uint8_t> part(bytes);
  ReplaceOptions options;
  options.sync = false;
  (void)replaceFile(cache_path, std::span<const std::span<const uint8_t>>(&part, 1), options);
}

}  // namespace tunora::marlbase

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
  slots_moved_ = false;
  columns_from_index_cache_ = 0;
  columns_written_.assign(static_cast<size_t>(column_count_), false);
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

bool TableHandle::cachedColumnCurrent(int32_t column) const {
  return index_cache_ && !slots_moved_ && !columns_written_[column - 1] &&
         index_cache_->hasColumn(column);
}

bool TableHandle::loadCachedColumn(int32_t column, ColumnIndex& index) {
  // The cache describes the table as this open found it: the column's part holds while no
  // record moved, no slot became occupied or free and the column was not written.
  if (!cachedColumnCurrent(column)) return false;
  const SlotIndex& slots_now = slots();
  if (!index_cache_ || !index_cache_->readColumn(column, slots_now, index)) {
    // The part does not hold: the close writes the column as built, never this part again.
    columns_written_[column - 1] = true;
    return false;
  }
  ++columns_from_index_cache_;
  return true;
}

void TableHandle::noteColumnWritten(int32_t column) {
  if (static_cast<size_t>(column) <= columns_written_.size()) columns_written_[column - 1] = true;
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
  const std::vector<uint64_t> words = index.saveWords();
  std::vector<CachePart> parts(1);
  parts[0].pieces = {{reinterpret_cast<const uint8_t*>(words.data()), words.size() * 8}};
  std::vector<ColumnIndex::Image> images;
  images.reserve(column_indexes_.size());
  for (size_t c = 0; c < column_indexes_.size(); ++c) {
    if (!column_indexes_[c] || cachedColumnCurrent(static_cast<int32_t>(c + 1))) continue;
    const ColumnIndex::Image& image = images.emplace_back(column_indexes_[c]->image());
    parts.push_back({static_cast<uint32_t>(c + 1), imagePieces(image), {}});
  }
  // The old cache's column parts that still hold (the open did not change the column or the
  // slots, and the part loaded or was not asked for) go into the new one as they are: their
  // bytes from the old file, their checksums as written.
  for (int32_t c : index_cache_ ? index_cache_->columns() : std::vector<int32_t>{}) {
    CachePart kept{static_cast<uint32_t>(c), {{}}, uint64_t{0}};
    if (!cachedColumnCurrent(c)) continue;
    if (index_cache_->rawColumn(c, kept.pieces[0], *kept.checksum)) {
      parts.push_back(std::move(kept));
    } else if (static_cast<size_t>(c) <= column_indexes_.size() && column_indexes_[c - 1]) {
      const ColumnIndex::Image& image = images.emplace_back(column_indexes_[c - 1]->image());
      parts.push_back({static_cast<uint32_t>(c), imagePieces(image), {}});
    }
  }
  const std::vector<uint8_t> head =
      encodeIndexCacheHead(key, static_cast<int32_t>(index.live().count()), parts);
  std::vector<std::span<const uint8_t>> pieces{head};
  for (const CachePart& part : parts)
    pieces.insert(pieces.end(), part.pieces.begin(), part.pieces.end());
  // Only ever a plain file of our own: never through a link to somewhere else.
  const std::string cache_path = indexCachePathFor(path_);
  struct stat existing;
  if (lstat(cache_path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return;
  if (index_cache_hook_) index_cache_hook_();
  ReplaceOptions options;
  options.sync = false;
  (void)replaceFile(cache_path, pieces, options);
}

}  // namespace tunora::marlbase

// Creating, opening and closing table files: the header, the column descriptors, the mapping
// and the sharing locks.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "marlbase/file_lock.h"
#include "marlbase/table_handle.h"
#include "util/file_io.h"

namespace tunora::marlbase {
namespace {

// Records wider than this are refused: no real table comes near it, and it keeps every size
// computed from a header far from overflowing.
constexpr uint64_t kMaxRecordSize = 64u << 20;

std::string errnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Zero bytes at [from, to) by extending the file with reserved space, so that a later write into
// a mapping of it cannot fail for want of disk space.
bool reserveZeros(int fd, int64_t from, int64_t to) {
  if (to <= from) return true;
  int err = posix_fallocate(fd, from, to - from);
  if (err == EINVAL || err == EOPNOTSUPP) {
    // A file system without fallocate: extend with real zero writes instead.
    std::vector<uint8_t> zeros(64 * 1024, 0);
    for (int64_t at = from; at < to;) {
      const auto n = static_cast<size_t>(std::min<int64_t>(to - at, zeros.size()));
      if (!writeAll(fd, zeros.data(), n, at)) return false;
      at += static_cast<int64_t>(n);
    }
    return true;
  }
  return err == 0;
}

uint64_t roundUpToWord(uint64_t bytes) { return (bytes + 3) & ~uint64_t{3}; }

}  // namespace

TableHandle::TableHandle() = default;

TableHandle::~TableHandle() {
  close();
  dropKeptMapping();
}

std::string_view TableHandle::textValue() const { return text_value_.data(); }

void TableHandle::setTextValue(std::string_view text) {
  const size_t n = std::min(text.size(), text_value_.size() - 1);
  std::memcpy(text_value_.data(), text.data(), n);
  text_value_[n] = '\0';
}

std::string_view TableHandle::searchKey() const { return search_key_.data(); }

void TableHandle::setSearchKey(std::string_view key) {
  const size_t n = std::min(key.size(), search_key_.size() - 1);
  std::memcpy(search_key_.data(), key.data(), n);
  search_key_[n] = '\0';
}

int32_t TableHandle::columnType(int32_t column) const {
  if (!isOpen() || !validColumn(column)) return -1;
  return static_cast<int32_t>(column_types_[column - 1]);
}

Status TableHandle::create() {
  close();
  if (column_count_ < 1 || static_cast<uint32_t>(column_count_) > kMaxColumns) {
    return Status::InvalidArgument("bad column count");
  }
  // Lock before emptying the file, so a table that another opener holds is never destroyed.
  int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return Status::IOError(errnoText("cannot create file"));
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::InvalidArgument("not a regular file");
  }
  if (!lockWholeFile(fd, LockKind::kExclusive)) {
    ::close(fd);
    return Status::Locked("locked by another program");
  }
  const uint32_t n = static_cast<uint32_t>(column_count_);
  std::vector<uint8_t> image(kDescriptorOffset + kCreateZeroFill, 0);
  std::memcpy(image.data(), kMagic, 4);
  std::memcpy(image.data() + 4, kVersion, 4);
  storeU32(&image[kHeaderFlagOffset], 1);
  storeU32(&image[kConstantTwoOffset], 2);
  storeU32(&image[kColumnCountOffset], n);
  storeU32(&image[kCapacityOffset], kInitialCapacity);
  storeU32(&image[kConstantTwoBOffset], 2);
  if (ftruncate(fd, 0) != 0 || !writeAll(fd, image.data(), image.size(), 0)) {
    Status s = Status::IOError(errnoText("cannot write table header"));
    ::close(fd);
    return s;
  }
  fd_ = fd;
  dropIndexCacheFile();
  unlink(indexCachePathFor(path_).c_str());
  writable_ = true;
  map_writable_ = true;
  capacity_ = kInitialCapacity;
  live_count_.store(0, std::memory_order_relaxed);
  record_size_ = 0;
  record_area_ = kDescriptorOffset + kDescriptorSize * n;
  column_types_.assign(n, 0);
  column_offsets_.assign(n, 0);
  defining_columns_ = true;
  cache_.valid = false;
  column_indexes_.clear();
  return Status::Ok();
}

bool TableHandle::defineColumn(int32_t column, uint32_t type) {
  if (!isOpen() || isMapped() || !defining_columns_ || !validColumn(column)) return false;
  uint8_t descriptor[kDescriptorSize] = {};
  storeU32(descriptor, type);
  const off_t at = kDescriptorOffset + kDescriptorSize * static_cast<uint32_t>(column - 1);
  if (!writeAll(fd_, descriptor, sizeof descriptor, at)) return false;
  column_types_[column - 1] = type;
  return true;
}

bool TableHandle::finishColumns() {
  if (!isOpen() || isMapped() || !defining_columns_) return false;
  const auto n = static_cast<uint32_t>(column_count_);
  std::vector<uint8_t> descriptors(size_t{kDescriptorSize} * n);
  if (!readAll(fd_, descriptors.data(), descriptors.size(), kDescriptorOffset)) return false;
  uint64_t record_size = kStatusSize;
  uint64_t running = uint64_t{record_area_} + kStatusSize;
  for (uint32_t c = 0; c < n; ++c) {
    const uint32_t type = loadU32(&descriptors[kDescriptorSize * c]);
    storeU32(&descriptors[kDescriptorSize * c + 4], static_cast<uint32_t>(running));
    column_types_[c] = type;
    column_offsets_[c] = static_cast<uint32_t>(running);
    record_size += fieldWidth(type);
    running += fieldWidth(type);
    if (record_size > kMaxRecordSize) return false;
  }
  if (!writeAll(fd_, descriptors.data(), descriptors.size(), kDescriptorOffset)) return false;
  // 15 empty slots, written in whole 32-bit words (rounded up, so every slot is held in full).
  const uint64_t end = record_area_ + roundUpToWord(kCreatedSlots * record_size);
  struct stat st;
  if (fstat(fd_, &st) != 0) return false;
  if (!reserveZeros(fd_, st.st_size, static_cast<int64_t>(end))) return false;
  record_size_ = static_cast<uint32_t>(record_size);
  defining_columns_ = false;
  return true;
}

Status TableHandle::openFile(bool for_writing) {
  const bool keep_writable = writable_;
  close();
  writable_ = keep_writable;
  compaction_hold_ = 0;
  changed_on_disk_ = false;
  finishInterruptedMove();
  int fd = ::open(path_.c_str(), (for_writing ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return errno == ENOENT ? Status::NotFound("no such file")
                           : Status::IOError(errnoText("cannot open file"));
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::InvalidArgument("not a regular file");
  }
  if (!lockWholeFile(fd, for_writing ? LockKind::kExclusive : LockKind::kShared)) {
    ::close(fd);
    return Status::Locked("locked by another program");
  }
  fd_ = fd;
  map_writable_ = for_writing;
  Status s = loadHeader(st.st_size);
  if (!s.ok()) releaseFile();
  return s;
}

// A journal beside the table means a writer was killed while it moved a record, a whole sort
// image that it was killed while it wrote a sort into the table: the move is finished or undone,
// the sort finished, before anyone reads the table. Only under the exclusive lock, so a live
// writer's journal is never touched; when the lock or the file cannot be had the open goes on
// and a later one finishes the move.
void TableHandle::finishInterruptedMove() {
  const std::string journal = MoveJournal::pathFor(path_);
  const std::string image = sortImagePathFor(path_);
  if (access(journal.c_str(), F_OK) != 0 && access(image.c_str(), F_OK) != 0) return;
  const int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lockWholeFile(fd, LockKind::kExclusive)) {
    fd_ = fd;
    if (loadHeader(st.st_size).ok()) {
      const bool moved = recoverInterruptedMove(path_, fd, record_area_, record_size_, capacity_);
      const bool sorted = applySortImage(path_, layout(), {}) == ImageApplied::kApplied;
      if (moved || sorted) {
        cache_.valid = false;
        dropIndexCacheFile();
      }
    }
    fd_ = -1;
    unlockWholeFile(fd);
  }
  ::close(fd);
}

Status TableHandle::loadHeader(int64_t file_size) {
  uint8_t head[kDescriptorOffset];
  if (file_size < 8 || !readAll(fd_, head, 8, 0)) return Status::Corruption("not a table file");
  if (std::memcmp(head, kMagic, 4) != 0) return Status::Corruption("not a table file");
  if (std::memcmp(head + 4, kVersion, 4) != 0) return Status::Corruption("wrong version");
  if (file_size < kDescriptorOffset || !readAll(fd_, head, sizeof head, 0)) {
    return Status::Corruption("file shorter than its header");
  }
  const uint32_t n = loadU32(head + kColumnCountOffset);
  const uint32_t capacity = loadU32(head + kCapacityOffset);
  if (n == 0 || n > kMaxColumns) return Status::Corruption("damaged header: bad column count");
  if (capacity > kMaxCapacity) return Status::Corruption("damaged header: bad capacity");
  const uint64_t record_area = kDescriptorOffset + uint64_t{kDescriptorSize} * n;
  if (static_cast<uint64_t>(file_size) < record_area) {
    return Status::Corruption("file shorter than its column descriptors");
  }
  std::vector<uint8_t> descriptors(size_t{kDescriptorSize} * n);
  if (!readAll(fd_, descriptors.data(), descriptors.size(), kDescriptorOffset)) {
    return Status::IOError(errnoText("cannot read column descriptors"));
  }
  // The stored field offsets are what every field access uses; they must be the ones the column
  // types give, or a damaged file could send accesses anywhere.
  uint64_t record_size = kStatusSize;
  column_types_.assign(n, 0);
  column_offsets_.assign(n, 0);
  for (uint32_t c = 0; c < n; ++c) {
    const uint32_t type = loadU32(&descriptors[kDescriptorSize * c]);
    const uint32_t stored_offset = loadU32(&descriptors[kDescriptorSize * c + 4]);
    if (stored_offset != record_area + record_size) {
      return Status::Corruption("damaged header: column offsets do not match the column types");
    }
    if (isTextType(type) && fieldWidth(type) > kTextBufferSize) {
      return Status::Corruption("damaged header: text column wider than the text buffer");
    }
    column_types_[c] = type;
    column_offsets_[c] = stored_offset;
    record_size += fieldWidth(type);
    if (record_size > kMaxRecordSize) return Status::Corruption("damaged header: record too large");
  }
  if (static_cast<uint64_t>(file_size) < record_area + uint64_t{capacity} * record_size) {
    return Status::Corruption("file shorter than its capacity needs");
  }
  column_count_ = static_cast<int32_t>(n);
  capacity_ = capacity;
  record_size_ = static_cast<uint32_t>(record_size);
  record_area_ = static_cast<uint32_t>(record_area);
  return Status::Ok();
}

Status TableHandle::open() {
  unchecked_in_pass_ = kPassCheckEvery;  // a pass checks the file it reopened at once
  Status s = openFile(writable_);
  if (!s.ok()) return s;
  struct stat st;
  if (fstat(fd_, &st) != 0) {
    releaseFile();
    return Status::IOError(errnoText("cannot read the file's size"));
  }
  // What the last close left is still right when the file is exactly as we left it: the slot
  // index, and the mapping itself with the pages it had in place.
  open_used_cache_ = cache_.valid && cache_.device == st.st_dev && cache_.inode == st.st_ino &&
                     cache_.size == st.st_size &&
                     cache_.mtime_ns == st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec &&
                     cache_.ctime_ns == st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec &&
                     cache_.capacity == capacity_ && index_.capacity() == capacity_;
  cache_.valid = false;
  if (open_used_cache_ && kept_map_ != nullptr && kept_size_ == static_cast<size_t>(st.st_size) &&
      (kept_prot_writable_ || !map_writable_)) {
    base_ = kept_map_;
    map_size_ = kept_size_;
    map_prot_writable_ = kept_prot_writable_;
    kept_map_ = nullptr;
    kept_size_ = 0;
  } else {
    dropKeptMapping();
    if (!remap(map_writable_)) {
      releaseFile();
      return Status::IOError(errnoText("cannot map file"));
    }
  }
  startIndex(TableStamp{st.st_dev, st.st_ino, st.st_size,
                        st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec,
                        st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec});
  return Status::Ok();
}

void TableHandle::dropKeptMapping() {
  if (kept_map_ != nullptr) munmap(kept_map_, kept_size_);
  kept_map_ = nullptr;
  kept_size_ = 0;
}

Status TableHandle::openWithMaintenance() {
  Status s = open();
  if (!s.ok()) return s;
  if (maintain() == 0) return Status::IOError("the table could not be reopened after maintenance");
  return Status::Ok();
}

Status TableHandle::openUnmapped() {
  Status s = openFile(writable_);
  if (s.ok()) cache_.valid = false;
  if (s.ok() && map_writable_) dropIndexCacheFile();
  return s;
}

bool TableHandle::remap(bool writable) {
  if (base_ != nullptr) {
    munmap(base_, map_size_);
    base_ = nullptr;
    map_size_ = 0;
  }
  struct stat st;
  if (fstat(fd_, &st) != 0 || st.st_size <= 0) return false;
  const int prot = writable ? PROT_READ | PROT_WRITE : PROT_READ;
  void* p = mmap(nullptr, static_cast<size_t>(st.st_size), prot, MAP_SHARED, fd_, 0);
  if (p == MAP_FAILED) return false;
  base_ = static_cast<uint8_t*>(p);
  map_size_ = static_cast<size_t>(st.st_size);
  map_prot_writable_ = writable;
  return true;
}

// A page of the mapping past the file's end faults, and another program that takes no lock (a
// copy over the file) may cut it at any time. So every operation first compares the file's size
// with the mapping's; once they differ the handle stays failed until the next open.
bool TableHandle::fileIntact() const {
  if (changed_on_disk_) return false;
  if (pass_depth_ > 0 && unchecked_in_pass_ < kPassCheckEvery) {
    ++unchecked_in_pass_;
    return true;
  }
  unchecked_in_pass_ = 0;
  struct stat st;
  if (fstat(fd_, &st) == 0 && static_cast<uint64_t>(st.st_size) == map_size_) return true;
  changed_on_disk_ = true;
  return false;
}

void TableHandle::rebuildIndex() const {
  slots_pending_ = false;
  index_.reset(capacity_);
  for (uint32_t s = 0; s < capacity_; ++s) index_.bulkAdd(s, statusAt(s));
  index_.finishBulk();
}

void TableHandle::stampAtClose(bool was_mapped) {
  struct stat st;
  if (dirty_) {
    // A writer's close always moves the modification time forward, to the nanosecond, so that
    // every opener sees that the file changed even when two closes fall in one clock tick.
    if (fstat(fd_, &st) == 0) {
      const int64_t before = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
      int64_t stamp = unixNanosFromFileTime(env_->fileTimeNow());
      if (stamp <= before) stamp = before + 1;
      struct timespec times[2];
      times[0].tv_sec = 0;
      times[0].tv_nsec = UTIME_OMIT;
      times[1].tv_sec = stamp / 1'000'000'000LL;
      times[1].tv_nsec = stamp % 1'000'000'000LL;
      futimens(fd_, times);
      close_stamp_ns_ = stamp;
    }
  }
  cache_.valid = false;
  if (!was_mapped || fstat(fd_, &st) != 0) return;
  cache_.valid = index_.capacity() == capacity_;
  cache_.device = st.st_dev;
  cache_.inode = st.st_ino;
  cache_.size = st.st_size;
  cache_.mtime_ns = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
  cache_.ctime_ns = st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec;
  cache_.capacity = capacity_;
}

void TableHandle::releaseFile() {
  if (base_ != nullptr) {
    munmap(base_, map_size_);
    base_ = nullptr;
    map_size_ = 0;
  }
  if (fd_ >= 0) {
    // Unlocked explicitly: a mapping kept after the close still holds the open file, and with
    // it the lock, until it is unmapped.
    unlockWholeFile(fd_);
    ::close(fd_);
    fd_ = -1;
  }
  map_writable_ = false;
  defining_columns_ = false;
  dirty_ = false;
}

void TableHandle::close() {
  if (fd_ >= 0) {
    const bool was_mapped = base_ != nullptr;
    if (was_mapped) {
      // The mapping is kept while closed, untouched, for a reopen of the unchanged file.
      dropKeptMapping();
      kept_map_ = base_;
      kept_size_ = map_size_;
      kept_prot_writable_ = map_prot_writable_;
      base_ = nullptr;
      map_size_ = 0;
    }
    if (changed_on_disk_) {
      // Not a byte more into a file another program changed, its times included.
      dirty_ = false;
      stampAtClose(false);
    } else {
      stampAtClose(was_mapped);
    }
    finishIndexCache(was_mapped && !changed_on_disk_);
    if (!cache_.valid) dropKeptMapping();
  }
  releaseFile();
  writable_ = false;
}

bool TableHandle::setHeaderFlag(uint32_t value) {
  if (!canWrite()) return false;
  storeU32(base_ + kHeaderFlagOffset, value);
  dirty_ = true;
  return true;
}

}  // namespace tunora::marlbase

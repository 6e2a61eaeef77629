// The move journal: writing its notes, and finishing an interrupted move at the next open.
#include "marlbase/move_journal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "marlbase/format.h"
#include "util/file_io.h"

namespace tunora::marlbase {
namespace {

constexpr char kEntryMagic[4] = {'M', 'O', 'V', 'E'};
constexpr char kHeldMagic[4] = {'H', 'E', 'L', 'D'};
constexpr uint32_t kEntrySize = 40;
constexpr uint32_t kHeldOffset = 2 * kEntrySize;
constexpr uint32_t kHeldHeaderSize = 16;

struct Entry {
  uint32_t sequence = 0;
  uint32_t from = 0;
  uint32_t to = 0;
  int32_t status = 0;
  bool held_out = false;
  uint32_t record_size = 0;
  uint32_t capacity = 0;
};

void encode(const Entry& e, uint8_t* out) {
  std::memset(out, 0, kEntrySize);
  std::memcpy(out, kEntryMagic, 4);
  storeU32(out + 4, e.sequence);
  storeU32(out + 8, e.from);
  storeU32(out + 12, e.to);
  storeU32(out + 16, static_cast<uint32_t>(e.status));
  storeU32(out + 20, e.held_out ? 1 : 0);
  storeU32(out + 24, e.record_size);
  storeU32(out + 28, e.capacity);
  storeU32(out + 36, fnv1a32(out, 36));
}

bool decode(const uint8_t* in, Entry& e) {
  if (std::memcmp(in, kEntryMagic, 4) != 0 || loadU32(in + 36) != fnv1a32(in, 36)) return false;
  e.sequence = loadU32(in + 4);
  e.from = loadU32(in + 8);
  e.to = loadU32(in + 12);
  e.status = static_cast<int32_t>(loadU32(in + 16));
  e.held_out = loadU32(in + 20) != 0;
  e.record_size = loadU32(in + 24);
  e.capacity = loadU32(in + 28);
  return true;
}

}  // namespace

bool MoveJournal::begin(const std::string& table_path, uint32_t record_size, uint32_t capacity) {
  end();
  path_ = pathFor(table_path);
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const off_t size = kHeldOffset + kHeldHeaderSize + record_size;
  const bool reserved = posix_fallocate(fd, 0, size) == 0;
  if (!reserved && ftruncate(fd, size) != 0) {
    ::close(fd);
    unlink(path_.c_str());
    return false;
  }
  fd_ = fd;
  record_size_ = record_size;
  capacity_ = capacity;
  sequence_ = 0;
  held_out_ = false;
  buffer_.assign(kHeldHeaderSize + record_size, 0);
  // The notes go through a mapping of the journal: a store each instead of a write call each
  // (a sort of a big table makes millions). The bytes reach the file as a write's would. Only
  // over reserved space: a store into a page the disk has no room for kills the process
  // (SIGBUS), where a write call merely fails.
  void* map =
      reserved ? mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
               : MAP_FAILED;
  if (map != MAP_FAILED) {
    map_ = static_cast<uint8_t*>(map);
    map_size_ = static_cast<size_t>(size);
  }
  return true;
}

void MoveJournal::noteMove(uint32_t from, uint32_t to, int32_t status) {
  if (fd_ < 0) return;
  Entry e;
  e.sequence = ++sequence_;
  e.from = from;
  e.to = to;
  e.status = status;
  e.held_out = held_out_ || to == kHeld;
  e.record_size = record_size_;
  e.capacity = capacity_;
  uint8_t bytes[kEntrySize];
  encode(e, bytes);
  const uint32_t at = (e.sequence % 2) * kEntrySize;
  if (map_ != nullptr) {
    std::memcpy(map_ + at, bytes, sizeof bytes);
  } else {
    (void)writeAll(fd_, bytes, sizeof bytes, at);
  }
}

void MoveJournal::holdRecord(const uint8_t* slot_bytes) {
  if (fd_ < 0) return;
  std::memcpy(buffer_.data(), kHeldMagic, 4);
  storeU32(buffer_.data() + 4, record_size_);
  storeU32(buffer_.data() + 8, fnv1a32(slot_bytes, record_size_));
  storeU32(buffer_.data() + 12, 0);
  std::memcpy(buffer_.data() + kHeldHeaderSize, slot_bytes, record_size_);
  if (map_ != nullptr) {
    std::memcpy(map_ + kHeldOffset, buffer_.data(), buffer_.size());
  } else {
    (void)writeAll(fd_, buffer_.data(), buffer_.size(), kHeldOffset);
  }
  held_out_ = true;
}

void MoveJournal::end() {
  if (fd_ < 0) return;
  // The table's writes are done: without the journal the next opener has nothing to finish.
  if (map_ != nullptr) munmap(map_, map_size_);
  map_ = nullptr;
  unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
  held_out_ = false;
}

bool recoverInterruptedMove(const std::string& table_path, int fd, uint32_t record_area,
                            uint32_t record_size, uint32_t capacity) {
  const std::string journal_path = MoveJournal::pathFor(table_path);
  const int jfd = ::open(journal_path.c_str(), O_RDWR | O_CLOEXEC);
  if (jfd < 0) return false;
  bool wrote = false;
  auto slotOffset = [&](uint32_t slot) {
    return static_cast<off_t>(record_area + uint64_t{slot} * record_size);
  };
  auto statusOf = [&](uint32_t slot) -> int32_t {
    uint8_t word[4];
    if (!readAll(fd, word, 4, slotOffset(slot))) return kStatusUnused;
    return static_cast<int32_t>(loadU32(word));
  };
  auto putStatus = [&](uint32_t slot, int32_t status) {
    uint8_t word[4];
    storeU32(word, static_cast<uint32_t>(status));
    wrote = writeAll(fd, word, 4, slotOffset(slot)) || wrote;
  };
  auto fields = [&](uint32_t slot) {
    std::vector<uint8_t> bytes(record_size - kStatusSize);
    if (!readAll(fd, bytes.data(), bytes.size(), slotOffset(slot) + kStatusSize)) bytes.clear();
    return bytes;
  };

  // The newer of the two whole entries.
  uint8_t raw[2 * kEntrySize];
  Entry a, b, e;
  const bool have_raw = readAll(jfd, raw, sizeof raw, 0);
  const bool a_ok = have_raw && decode(raw, a);
  const bool b_ok = have_raw && decode(raw + kEntrySize, b);
  bool usable = a_ok || b_ok;
  if (usable) e = !b_ok || (a_ok && a.sequence > b.sequence) ? a : b;
  usable = usable && e.record_size == record_size && e.capacity == capacity &&
           (e.from == MoveJournal::kHeld || e.from < capacity) &&
           (e.to == MoveJournal::kHeld || e.to < capacity) &&
           !(e.from == MoveJournal::kHeld && e.to == MoveJournal::kHeld);
  std::vector<uint8_t> held;
  if (usable && e.held_out) {
    std::vector<uint8_t> region(kHeldHeaderSize + record_size);
    if (readAll(jfd, region.data(), region.size(), kHeldOffset) &&
        std::memcmp(region.data(), kHeldMagic, 4) == 0 &&
        loadU32(region.data() + 4) == record_size &&
        loadU32(region.data() + 8) == fnv1a32(region.data() + kHeldHeaderSize, record_size)) {
      held.assign(region.begin() + kHeldHeaderSize, region.end());
    } else {
      usable = false;
    }
  }
  bool keep_journal = false;
  if (usable) {
    bool held_out = e.held_out;
    const std::vector<uint8_t> held_fields =
        held.empty() ? std::vector<uint8_t>{}
                     : std::vector<uint8_t>(held.begin() + kStatusSize, held.end());
    if (e.to != MoveJournal::kHeld) {
      // The copy is complete once its status word is written (the fields go first).
      if (statusOf(e.to) > kHighestFreeStatus) {
        if (e.from == MoveJournal::kHeld) {
          held_out = false;
        } else if (statusOf(e.from) > kHighestFreeStatus) {
          // Occupied twice: the source goes, unless the two differ (not this journal's table).
          if (fields(e.from) == fields(e.to)) {
            putStatus(e.from, kStatusDeleted);
          } else {
            held_out = false;
          }
        }
      }
    } else if (statusOf(e.from) > kHighestFreeStatus) {
      // The held record is whole in the journal: the slot it left is free.
      if (fields(e.from) == held_fields) {
        putStatus(e.from, kStatusDeleted);
      } else {
        held_out = false;
      }
    }
    if (held_out) {
      // The held record goes back into the lowest free slot, noted as a move of its own, so that
      // a kill during this leaves a journal the next opener finishes the same way.
      uint32_t home = MoveJournal::kHeld;
      for (uint32_t s = 0; s < capacity && home == MoveJournal::kHeld; ++s) {
        if (statusOf(s) <= kHighestFreeStatus) home = s;
      }
      Entry next = e;
      next.sequence = e.sequence + 1;
      next.from = MoveJournal::kHeld;
      next.to = home;
      next.status = static_cast<int32_t>(loadU32(held.data()));
      next.held_out = true;
      uint8_t bytes[kEntrySize];
      encode(next, bytes);
      if (home != MoveJournal::kHeld &&
          writeAll(jfd, bytes, sizeof bytes, (next.sequence % 2) * kEntrySize) &&
          writeAll(fd, held_fields.data(), held_fields.size(), slotOffset(home) + kStatusSize)) {
        wrote = true;
        putStatus(home, next.status);
      } else {
        keep_journal = true;  // the held record stays where it is safe
      }
    }
  }
  ::close(jfd);
  if (!keep_journal) unlink(journal_path.c_str());
  return wrote;
}
}  // namespace tunora::marlbase

// Slot maintenance: growing a table that is nearly full, and compacting and cutting one that is
// mostly empty. Runs before every allocation and on openWithMaintenance.
//
// The compaction gives the result of moving each occupied record, one step at a time, down into
// the free slot just below it until the occupied records are packed at the low slots in their
// old order. Done step by step that restarts a scan after every move and is quadratic; here it
// is one pass that leaves the same bytes (see compact()).
//
// Writes are ordered for a kill at any moment: a record move is noted in the move journal, then
// writes the fields into a free slot, then its status word, then frees the source, so a kill
// leaves no record half-written and the next open, reading the journal, frees the source of a
// move that got as far as the copy's status word (move_journal.h). A growth extends the file
// before the header's capacity says so; a shrink writes the lower capacity first and cuts the
// file after. Either way a kill in between leaves a file longer than its capacity needs, which
// opens.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <vector>

#include "marlbase/table_handle.h"

namespace tunora::marlbase {
namespace {

// The step-by-step compaction gives up after this many one-step moves; ours always completes
// but reports what would remain of the budget.
constexpr int64_t kCompactionBudget = 500'000;

}  // namespace

int32_t TableHandle::maintain() {
  if (!isMapped() || !fileIntact()) return 0;
  if (liveCount() == 0) return 1;
  const uint64_t occupied = slots().occupied();
  const uint64_t free = capacity_ - occupied;
  const uint64_t percent = capacity_ == 0 ? 100 : occupied * 100 / capacity_;
  if (percent > 90 || free < 10) {
    const uint32_t n = occupied / 16 > 10 ? static_cast<uint32_t>(occupied / 16) : 10;
    if (!map_writable_) {
      writable_ = true;
      if (!open().ok()) return 0;
    }
    if (uint64_t{capacity_} + n <= kMaxCapacity) (void)resize(capacity_ + n, /*grow=*/true);
  } else if (percent < 70 && capacity_ > 50 && compaction_hold_ == 0) {
    if (!map_writable_) {
      writable_ = true;
      if (!open().ok()) return 0;
    }
    if (compact() != 0) {
      const uint32_t d = capacity_ > 100 ? capacity_ * 3 / 16 : 10;
      (void)resize(capacity_ - d, /*grow=*/false);
    }
  }
  return isMapped() ? 1 : 0;
}

// Grows by appending zero slots after whatever the file holds, or cuts the file to exactly the
// new capacity. The space is reserved before the mapping can touch it, so a full disk refuses the
// growth instead of killing the process.
int32_t TableHandle::resize(uint32_t new_capacity, bool grow) {
  struct stat st;
  if (fstat(fd_, &st) != 0) return 0;
  if (static_cast<uint64_t>(st.st_size) != map_size_) {
    changed_on_disk_ = true;  // another program cut or replaced the file: leave it alone
    return 0;
  }
  const uint32_t old_capacity = capacity_;
  bool changed = false;
  if (grow) {
    // The file first, then the header that says the slots are there.
    const uint64_t added = (uint64_t{new_capacity - capacity_} * record_size_ + 3) & ~uint64_t{3};
    changed = posix_fallocate(fd_, st.st_size, static_cast<off_t>(added)) == 0;
    crashPoint();
    if (changed) changed = writeCapacity(new_capacity);
  } else {
    // The header first, then the cut: until the cut the file is merely longer than it needs.
    // A failed cut leaves it so, which is allowed.
    changed = writeCapacity(new_capacity);
    crashPoint();
    const uint64_t end = record_area_ + uint64_t{new_capacity} * record_size_;
    if (changed) (void)ftruncate(fd_, static_cast<off_t>(end));
  }
  crashPoint();
  if (!remap(true)) {
    close();
    return 0;
  }
  if (!changed) return 0;
  dirty_ = true;
  capacity_ = new_capacity;
  if (grow) {
    // The new slots hold zeros, unless the file already held bytes past the old capacity.
    slots().grow(new_capacity, kStatusUnused);
    for (uint32_t s = old_capacity; s < new_capacity; ++s) {
      const int32_t status = statusAt(s);
      if (status != kStatusUnused) slots().change(s, kStatusUnused, status);
    }
  } else {
    rebuildIndex();
  }
  resizeColumnIndexes(old_capacity);
  recount();
  return 1;
}

bool TableHandle::writeCapacity(uint32_t capacity) {
  uint8_t word[4];
  storeU32(word, capacity);
  return pwrite(fd_, word, sizeof word, kCapacityOffset) == sizeof word;
}

// A status word in one store, so that a kill cannot leave half of it written.
void TableHandle::storeStatusWord(uint32_t slot, int32_t status) {
  // Keep the compiler from moving the field writes past this store, or this one past later ones.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if constexpr (std::endian::native == std::endian::little) {
    const auto word = static_cast<uint32_t>(status);
    std::memcpy(slotAddress(slot), &word, sizeof word);
  } else {
    storeU32(slotAddress(slot), static_cast<uint32_t>(status));
  }
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

// One record move (compaction, sort) into the free slot `to`: the journal's note, its fields,
// then its status word (the copy is now live beside the original, which the note lets the next
// open undo), then the source's status 5 (its fields stay).
void TableHandle::moveRecord(uint32_t from, uint32_t to) {
  journal_.noteMove(from, to, statusAt(from));
  crashPoint();
  uint8_t* target = slotAddress(to) + kStatusSize;
  const uint8_t* source = slotAddress(from) + kStatusSize;
  const uint32_t fields = record_size_ - kStatusSize;
  if (crash_point_) {
    // Under a crash test the fields are written in two halves with a crash point between.
    std::memcpy(target, source, fields / 2);
    crashPoint();
    std::memcpy(target + fields / 2, source + fields / 2, fields - fields / 2);
  } else {
    std::memcpy(target, source, fields);
  }
  crashPoint();
  storeStatusWord(to, statusAt(from));
  crashPoint();
  storeStatusWord(from, kStatusDeleted);
  crashPoint();
}

// The sort's moves on a table with no free slot: a record leaves its slot for the journal, which
// keeps it whole until it goes into the slot its cycle frees last. `held` keeps it in memory.
void TableHandle::holdOut(uint32_t slot, std::vector<uint8_t>& held) {
  std::memcpy(held.data(), slotAddress(slot), record_size_);
  journal_.holdRecord(held.data());
  journal_.noteMove(slot, MoveJournal::kHeld, statusAt(slot));
  crashPoint();
  storeStatusWord(slot, kStatusDeleted);
  crashPoint();
}

void TableHandle::holdIn(const std::vector<uint8_t>& held, uint32_t slot) {
  const auto status = static_cast<int32_t>(loadU32(held.data()));
  journal_.noteMove(MoveJournal::kHeld, slot, status);
  crashPoint();
  std::memcpy(slotAddress(slot) + kStatusSize, held.data() + kStatusSize,
              record_size_ - kStatusSize);
  crashPoint();
  storeStatusWord(slot, status);
  journal_.releaseHeld();
  crashPoint();
}

// Record k of the m occupied records, at slot p_k, ends in slot k. Moving it one step at a time
// leaves a copy of it with status 5 in every slot from k + 1 to p_k; later records overwrite
// earlier copies, so past slot m - 1 only the last record's copies remain, in slots m .. p_last.
// The step-by-step algorithm makes sum(p_k - k) moves, which is what the budget counts.
int32_t TableHandle::compact() {
  if (!canWrite() || liveCount() == 0 || compaction_hold_ != 0) {
    return static_cast<int32_t>(kCompactionBudget);
  }
  std::vector<int32_t> statuses(capacity_);
  std::vector<uint32_t> occupied;
  int64_t moves = 0;
  for (uint32_t s = 0; s < capacity_; ++s) {
    statuses[s] = statusAt(s);
    if (statuses[s] > kHighestFreeStatus) {
      moves += s - occupied.size();
      occupied.push_back(s);
    }
  }
  if (moves == 0) {
    recount();
    return static_cast<int32_t>(kCompactionBudget);
  }
  const auto m = static_cast<uint32_t>(occupied.size());
  // Without its journal a move could leave a record twice after a kill: no compaction then.
  if (!journal_.begin(path_, record_size_, capacity_)) return 0;
  // Most of the mapping is about to be written: fault its pages in, writable, in one call rather
  // than one fault at a time (a kernel without this does it the slow way).
  const uint64_t touched_end = record_area_ + (uint64_t{occupied.back()} + 1) * record_size_;
  (void)madvise(base_, std::min<uint64_t>(touched_end, map_size_), MADV_POPULATE_WRITE);
  // Slot k is free when record k moves into it: whatever occupied it has moved already.
  for (uint32_t k = 0; k < m; ++k) {
    if (occupied[k] != k) moveRecord(occupied[k], k);
  }
  // The last record passed through every slot above its new one: they keep copies of it. These
  // slots are free already, so the order of these writes does not matter to a reader.
  const uint32_t last = occupied.back();
  for (uint32_t s = m; s <= last; ++s) {
    std::memcpy(slotAddress(s) + kStatusSize, slotAddress(m - 1) + kStatusSize,
                record_size_ - kStatusSize);
    storeStatusWord(s, kStatusDeleted);
    crashPoint();
  }
  journal_.end();
  std::vector<uint32_t> source(capacity_);
  for (uint32_t s = 0; s < capacity_; ++s) source[s] = s < m ? occupied[s] : s;
  for (uint32_t s = 0; s <= last; ++s) {
    const int32_t now = s < m ? statuses[occupied[s]] : kStatusDeleted;
    slots().change(s, statuses[s], now);
  }
  rekeyColumnIndexes(source);
  dirty_ = true;
  recount();
  const int64_t remaining = kCompactionBudget - moves;
  return static_cast<int32_t>(remaining > 0 ? remaining : 1);
}

}  // namespace tunora::marlbase

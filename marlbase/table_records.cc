// Record and field access: the value buffers, status words, allocation and the live-slot walks.
// Walks and allocation answer from the slot index instead of scanning the file.
#include <cstring>
#include <string>

#include "marlbase/table_handle.h"

namespace tunora::marlbase {

uint8_t* TableHandle::slotAddress(uint32_t slot) const {
  return base_ + record_area_ + uint64_t{slot} * record_size_;
}

uint8_t* TableHandle::fieldAddress(uint32_t slot, int32_t column) const {
  return base_ + column_offsets_[column - 1] + uint64_t{slot} * record_size_;
}

int32_t TableHandle::statusAt(uint32_t slot) const {
  return static_cast<int32_t>(loadU32(slotAddress(slot)));
}

void TableHandle::putStatus(uint32_t slot, int32_t status) {
  const int32_t old = statusAt(slot);
  storeU32(slotAddress(slot), static_cast<uint32_t>(status));
  slots().change(slot, old, status);
  touched_.insert(slot);
  const bool was_occupied = old > kHighestFreeStatus;
  const bool is_occupied = status > kHighestFreeStatus;
  if (was_occupied && !is_occupied) unindexSlot(slot);
  if (is_occupied && !was_occupied) indexSlot(slot);
  dirty_ = true;
}

bool TableHandle::usable() const { return isMapped() && liveCount() != 0 && fileIntact(); }

void TableHandle::recount() {
  live_count_.store(static_cast<int32_t>(slots().live().count()), std::memory_order_relaxed);
}

int32_t TableHandle::readField(int32_t slot, int32_t column) {
  if (!usable() || !validSlot(slot) || !validColumn(column)) return -1;
  const uint32_t type = column_types_[column - 1];
  const uint8_t* field = fieldAddress(static_cast<uint32_t>(slot), column);
  if (isTextType(type)) {
    const uint32_t n = fieldWidth(type) - 1;
    std::memcpy(text_value_.data(), field, n);
    text_value_[n] = '\0';
  } else if (type == 0) {
    int_value_ = field[0];
  } else if (type == 1) {
    int_value_ = uint32_t{field[0]} | uint32_t{field[1]} << 8;
  } else {
    int_value_ = loadU32(field);
  }
  return static_cast<int32_t>(type);
}

int32_t TableHandle::writeField(int32_t slot, int32_t column) {
  if (!usable() || !canWrite() || !validSlot(slot) || !validColumn(column)) return -1;
  const uint32_t type = column_types_[column - 1];
  uint8_t* field = fieldAddress(static_cast<uint32_t>(slot), column);
  if (isTextType(type)) {
    const uint32_t n = fieldWidth(type) - 1;
    // The buffer's bytes after its NUL are not significant; write the text and zeros after it.
    const size_t len = strnlen(text_value_.data(), n);
    std::memcpy(field, text_value_.data(), len);
    std::memset(field + len, 0, n + 1 - len);
    text_value_[0] = '\0';
  } else if (type == 0) {
    field[0] = static_cast<uint8_t>(int_value_);
  } else if (type == 1) {
    field[0] = static_cast<uint8_t>(int_value_);
    field[1] = static_cast<uint8_t>(int_value_ >> 8);
  } else {
    storeU32(field, int_value_);
  }
  dirty_ = true;
  const auto s = static_cast<uint32_t>(slot);
  touched_.insert(s);
  if (static_cast<size_t>(column) <= column_indexes_.size() && column_indexes_[column - 1] &&
      statusAt(s) > kHighestFreeStatus) {
    column_indexes_[column - 1]->insert(s, fieldKey(s, column));
  }
  return static_cast<int32_t>(type);
}

int32_t TableHandle::getStatus(int32_t slot) {
  if (!usable() || !validSlot(slot)) return -1;
  return statusAt(static_cast<uint32_t>(slot));
}

int32_t TableHandle::setStatus(int32_t slot, int32_t status) {
  if (!canWrite() || !validSlot(slot)) return 0;
  putStatus(static_cast<uint32_t>(slot), status);
  if (!batch_) recount();
  return 1;
}

int32_t TableHandle::allocate() {
  if (!canWrite()) return -1;
  if (maintain() == 0 || !canWrite()) return -1;
  const uint32_t unused = slots().unused().next(0);
  const uint32_t deleted = slots().deleted().next(0);
  const uint32_t slot = std::min(unused, deleted);
  if (slot == SlotSet::kNone) return -1;
  putStatus(slot, kStatusLive);
  if (!batch_) recount();
  return static_cast<int32_t>(slot);
}

Status TableHandle::checkCanAllocate() const {
  if (!isMapped()) return Status::InvalidArgument("the table is not open");
  if (capacity_ == 0) {
    return Status::Corruption("the table has no slots (capacity 0) and cannot grow");
  }
  if (slots().unused().count() + slots().deleted().count() > 0) return Status::Ok();
  // No reusable slot now. The maintenance runs only while a record is live; it grows a table
  // that is nearly full, and a compaction leaves status 5 in the free slots it moves records
  // out of, so a free slot below an occupied one becomes reusable.
  const uint64_t occupied = slots().occupied();
  const uint64_t free = capacity_ - occupied;
  const uint64_t percent = occupied * 100 / capacity_;
  if (liveCount() != 0) {
    if ((percent > 90 || free < 10) && uint64_t{capacity_} + 10 <= kMaxCapacity) {
      return Status::Ok();
    }
    const uint32_t highest = slots().occupiedSlots().previous(capacity_ - 1);
    if (percent < 70 && capacity_ > 50 && compaction_hold_ == 0 && highest != SlotSet::kNone &&
        highest + 1 > occupied) {
      return Status::Ok();
    }
  }
  return Status::Corruption(
      "no slot can be reused: " + std::to_string(free) +
      " free slots hold status words other than 0 and 5 (such as 1, 9 or -1), which are never "
      "reused, and the table " +
      (liveCount() == 0 ? "holds no live record, so it is never grown"
                        : "is not full enough to be grown"));
}

int32_t TableHandle::copySlot(int32_t from, int32_t to) {
  if (!canWrite() || !validSlot(from) || !validSlot(to)) return 0;
  if (from == to) return 1;
  const int32_t old = statusAt(static_cast<uint32_t>(to));
  unindexSlot(static_cast<uint32_t>(to));
  std::memmove(slotAddress(static_cast<uint32_t>(to)), slotAddress(static_cast<uint32_t>(from)),
               record_size_);
  slots().change(static_cast<uint32_t>(to), old, statusAt(static_cast<uint32_t>(to)));
  touched_.insert(static_cast<uint32_t>(to));
  indexSlot(static_cast<uint32_t>(to));
  dirty_ = true;
  return 1;
}

int32_t TableHandle::firstWithStatus(int32_t key, int32_t start) {
  if (!usable() || capacity_ == 0) return -1;
  if (start < 0) start = 0;
  if (static_cast<uint32_t>(start) > capacity_ - 1) start = static_cast<int32_t>(capacity_ - 1);
  const auto from = static_cast<uint32_t>(start);
  uint32_t best = SlotSet::kNone;
  if (key == kStatusUnused) best = slots().unused().next(from);
  if (key == kStatusDeleted) best = slots().deleted().next(from);
  if (key == kStatusLive) best = slots().live().next(from);
  // Other status words match on their low 16 bits (so 0x1000A matches 10).
  const SlotSet& other = slots().other();
  for (uint32_t s = other.next(from); s != SlotSet::kNone && s < best; s = other.next(s + 1)) {
    if (static_cast<int16_t>(statusAt(s) & 0xFFFF) == key) {
      best = s;
      break;
    }
  }
  return best == SlotSet::kNone ? -1 : static_cast<int32_t>(best);
}

int32_t TableHandle::nextLive(int32_t slot) {
  if (!usable()) return slot;
  const uint32_t from = slot < 0 ? 0 : static_cast<uint32_t>(slot) + 1;
  const uint32_t next = slots().live().next(from);
  return next == SlotSet::kNone ? slot : static_cast<int32_t>(next);
}

int32_t TableHandle::previousLive(int32_t slot) {
  if (!usable() || slot <= 0) return slot;
  const uint32_t prev = slots().live().previous(static_cast<uint32_t>(slot) - 1);
  return prev == SlotSet::kNone ? slot : static_cast<int32_t>(prev);
}

int32_t TableHandle::lastLive() {
  if (!usable() || capacity_ == 0) return -1;
  const uint32_t last = slots().live().previous(capacity_ - 1);
  return last == SlotSet::kNone || last == 0 ? -1 : static_cast<int32_t>(last);
}

int32_t TableHandle::nthLive(int32_t n) {
  if (!usable() || n <= 0) return -1;
  const uint32_t slot = slots().live().select(static_cast<uint32_t>(n));
  return slot == SlotSet::kNone ? -1 : static_cast<int32_t>(slot);
}

std::optional<int32_t> TableHandle::peekStatus(int32_t slot) const {
  if (!isMapped() || !validSlot(slot) || !fileIntact()) return std::nullopt;
  return statusAt(static_cast<uint32_t>(slot));
}

std::string_view TableHandle::peekField(int32_t slot, int32_t column) const {
  if (!isMapped() || !validSlot(slot) || !validColumn(column) || !fileIntact()) return {};
  return {reinterpret_cast<const char*>(fieldAddress(static_cast<uint32_t>(slot), column)),
          fieldWidth(column_types_[column - 1])};
}

std::optional<uint32_t> TableHandle::readInt(int32_t slot, int32_t column) {
  const int32_t type = readField(slot, column);
  if (type < 0 || isTextType(static_cast<uint32_t>(type))) return std::nullopt;
  return int_value_;
}

std::optional<std::string> TableHandle::readText(int32_t slot, int32_t column) {
  const int32_t type = readField(slot, column);
  if (type < 0 || !isTextType(static_cast<uint32_t>(type))) return std::nullopt;
  return std::string(textValue());
}

bool TableHandle::writeInt(int32_t slot, int32_t column, uint32_t value) {
  if (columnType(column) < 0 || isTextType(static_cast<uint32_t>(columnType(column)))) {
    return false;
  }
  int_value_ = value;
  return writeField(slot, column) >= 0;
}

bool TableHandle::writeText(int32_t slot, int32_t column, std::string_view text) {
  if (columnType(column) < 0 || !isTextType(static_cast<uint32_t>(columnType(column)))) {
    return false;
  }
  setTextValue(text);
  return writeField(slot, column) >= 0;
}

}  // namespace tunora::marlbase

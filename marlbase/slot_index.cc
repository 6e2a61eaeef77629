// SlotIndex: the slot sets of a table by status, and the set of occupied slots.
#include "marlbase/slot_index.h"

namespace tunora::marlbase {

SlotSet& SlotIndex::setFor(int32_t status) {
  switch (status) {
    case kStatusUnused: return unused_;
    case kStatusDeleted: return deleted_;
    case kStatusLive: return live_;
    default: return other_;
  }
}

void SlotIndex::reset(uint32_t capacity) {
  unused_.reset(capacity);
  deleted_.reset(capacity);
  live_.reset(capacity);
  other_.reset(capacity);
  occupied_.reset(capacity);
}

void SlotIndex::bulkAdd(uint32_t slot, int32_t status) {
  setFor(status).rawInsert(slot);
  if (status > kHighestFreeStatus) occupied_.rawInsert(slot);
}

void SlotIndex::finishBulk() {
  unused_.finishBulk();
  deleted_.finishBulk();
  live_.finishBulk();
  other_.finishBulk();
  occupied_.finishBulk();
}

void SlotIndex::grow(uint32_t capacity, int32_t new_slots_status) {
  const uint32_t old = live_.size();
  if (capacity <= old) return;
  unused_.resize(capacity);
  deleted_.resize(capacity);
  live_.resize(capacity);
  other_.resize(capacity);
  occupied_.resize(capacity);
  for (uint32_t s = old; s < capacity; ++s) {
    setFor(new_slots_status).insert(s);
    if (new_slots_status > kHighestFreeStatus) occupied_.insert(s);
  }
}

void SlotIndex::change(uint32_t slot, int32_t old_status, int32_t new_status) {
  if (old_status == new_status) return;
  setFor(old_status).erase(slot);
  setFor(new_status).insert(slot);
  const bool was_occupied = old_status > kHighestFreeStatus;
  const bool is_occupied = new_status > kHighestFreeStatus;
  if (was_occupied && !is_occupied) occupied_.erase(slot);
  if (is_occupied && !was_occupied) occupied_.insert(slot);
}

}  // namespace tunora::marlbase

// SlotIndex: the four slot sets of a table and the count of occupied slots.
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
  other_occupied_ = 0;
}

void SlotIndex::bulkAdd(uint32_t slot, int32_t status) {
  setFor(status).rawInsert(slot);
  if (status != kStatusLive && status > kHighestFreeStatus) ++other_occupied_;
}

void SlotIndex::finishBulk() {
  unused_.finishBulk();
  deleted_.finishBulk();
  live_.finishBulk();
  other_.finishBulk();
}

void SlotIndex::grow(uint32_t capacity, int32_t new_slots_status) {
  const uint32_t old = live_.size();
  if (capacity <= old) return;
  unused_.resize(capacity);
  deleted_.resize(capacity);
  live_.resize(capacity);
  other_.resize(capacity);
  for (uint32_t s = old; s < capacity; ++s) setFor(new_slots_status).insert(s);
  if (new_slots_status != kStatusLive && new_slots_status > kHighestFreeStatus) {
    other_occupied_ += capacity - old;
  }
}

void SlotIndex::change(uint32_t slot, int32_t old_status, int32_t new_status) {
  if (old_status == new_status) return;
  setFor(old_status).erase(slot);
  setFor(new_status).insert(slot);
  if (old_status != kStatusLive && old_status > kHighestFreeStatus) --other_occupied_;
  if (new_status != kStatusLive && new_status > kHighestFreeStatus) ++other_occupied_;
}

}  // namespace tunora::marlbase

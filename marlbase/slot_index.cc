// SlotIndex: the slot sets of a table by status, and the set of occupied slots.
#include "marlbase/slot_index.h"

namespace tunora::marlbase {

SlotSet& SlotIndex::setFor(int32_t status) {
  switch (status) {
    case kStatusUnused:
      return unused_;
    case kStatusDeleted:
      return deleted_;
    case kStatusLive:
      return live_;
    default:
      return other_;
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

std::vector<uint64_t> SlotIndex::saveWords() const {
  std::vector<uint64_t> words;
  words.reserve(wordCount(capacity()));
  for (const SlotSet* set : {&unused_, &deleted_, &live_, &other_, &occupied_}) {
    words.insert(words.end(), set->words().begin(), set->words().end());
  }
  return words;
}

bool SlotIndex::loadWords(uint32_t capacity, std::span<const uint64_t> words) {
  reset(capacity);
  const size_t n = wordCount(capacity) / 5;
  if (words.size() != 5 * n) return false;
  const auto part = [&](size_t i) { return words.subspan(i * n, n); };
  const uint64_t tail = capacity % 64 == 0 ? ~uint64_t{0} : (uint64_t{1} << (capacity % 64)) - 1;
  for (size_t w = 0; w < n; ++w) {
    const uint64_t u = part(0)[w], d = part(1)[w], l = part(2)[w], o = part(3)[w];
    const uint64_t occupied = part(4)[w];
    const uint64_t all = w + 1 == n ? tail : ~uint64_t{0};
    const bool disjoint = (u & d) == 0 && ((u | d) & (l | o)) == 0 && (l & o) == 0;
    const bool covering =
        ((u | d | l | o) & all) == all && ((u | d | l | o | occupied) & ~all) == 0;
    const bool occupied_fits = (occupied & l) == l && (occupied & ~(l | o)) == 0;
    if (!disjoint || !covering || !occupied_fits) {
      reset(capacity);
      return false;
    }
  }
  unused_.loadWords(part(0));
  deleted_.loadWords(part(1));
  live_.loadWords(part(2));
  other_.loadWords(part(3));
  occupied_.loadWords(part(4));
  return true;
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

void SlotIndex::assign(uint32_t slot, int32_t status) {
  // A status that stands for the slot's present sets: the other statuses differ only in
  // whether they count as occupied.
  int32_t old = occupied_.contains(slot) ? kHighestFreeStatus + 2 : kHighestFreeStatus;
  if (unused_.contains(slot)) old = kStatusUnused;
  if (deleted_.contains(slot)) old = kStatusDeleted;
  if (live_.contains(slot)) old = kStatusLive;
  if (old == status) return;
  change(slot, old, status);
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

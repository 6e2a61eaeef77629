// ColumnIndex: an open-addressed table (linear probing, deletion by shifting back) from a value's
// key to the ascending list of slots holding it.
#include "marlbase/column_index.h"

#include <algorithm>

namespace tunora::marlbase {
namespace {

constexpr size_t kInitialTableSize = 16;

// Spreads a key over the table's positions (integer keys are small and dense).
uint64_t mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

uint8_t foldAscii(uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 32) : c; }

}  // namespace

uint64_t textKey(const uint8_t* text, uint32_t limit) {
  // FNV-1a over the folded bytes, then mixed. (A column holds texts or integers, never both.)
  uint64_t h = 0xcbf29ce484222325ULL;
  for (uint32_t i = 0; i < limit && text[i] != 0; ++i) {
    h ^= foldAscii(text[i]);
    h *= 0x100000001b3ULL;
  }
  return mix(h);
}

void ColumnIndex::reset(uint32_t capacity) {
  key_of_.assign(capacity, 0);
  present_.assign(capacity, false);
  members_ = 0;
  table_.assign(kInitialTableSize, Entry{});
  used_ = 0;
  lists_.clear();
  free_lists_.clear();
}

void ColumnIndex::resize(uint32_t capacity) {
  for (uint32_t s = capacity; s < key_of_.size(); ++s) erase(s);
  key_of_.resize(capacity, 0);
  present_.resize(capacity, false);
}

size_t ColumnIndex::home(uint64_t key) const { return mix(key) & (table_.size() - 1); }

size_t ColumnIndex::find(uint64_t key) const {
  const size_t mask = table_.size() - 1;
  const uint32_t tag = tagOf(key);
  size_t at = home(key);
  while (!isEmpty(table_[at]) && (table_[at].tag != tag || keyOfEntry(table_[at]) != key)) {
    at = (at + 1) & mask;
  }
  return at;
}

uint32_t ColumnIndex::newList() {
  if (!free_lists_.empty()) {
    const uint32_t i = free_lists_.back();
    free_lists_.pop_back();
    return i;
  }
  lists_.emplace_back();
  return static_cast<uint32_t>(lists_.size() - 1);
}

void ColumnIndex::growTable() {
  std::vector<Entry> old = std::move(table_);
  table_.assign(old.size() * 2, Entry{});
  const size_t mask = table_.size() - 1;
  for (const Entry& e : old) {
    if (isEmpty(e)) continue;
    size_t at = home(keyOfEntry(e));
    while (!isEmpty(table_[at])) at = (at + 1) & mask;
    table_[at] = e;
  }
}

void ColumnIndex::insert(uint32_t slot, uint64_t key) {
  if (slot >= key_of_.size() || slot >= kListBit) return;
  if (present_[slot]) erase(slot);
  key_of_[slot] = key;
  present_[slot] = true;
  ++members_;
  size_t at = find(key);
  Entry& e = table_[at];
  if (isEmpty(e)) {
    e = Entry{tagOf(key), slot};
    if (++used_ * 10 > table_.size() * 7) growTable();
    return;
  }
  if (!isList(e)) {
    const uint32_t other = e.value;
    const uint32_t list = newList();
    lists_[list] =
        other < slot ? std::vector<uint32_t>{other, slot} : std::vector<uint32_t>{slot, other};
    e.value = kListBit | list;
    return;
  }
  std::vector<uint32_t>& slots = lists_[e.value & ~kListBit];
  // Bulk builds add slots in ascending order: appending is the common case.
  if (slots.back() < slot) {
    slots.push_back(slot);
  } else {
    slots.insert(std::lower_bound(slots.begin(), slots.end(), slot), slot);
  }
}

void ColumnIndex::erase(uint32_t slot) {
  if (!contains(slot)) return;
  present_[slot] = false;
  --members_;
  const size_t at = find(key_of_[slot]);
  Entry& e = table_[at];
  if (!isList(e)) {
    removeEntry(at);
    return;
  }
  const uint32_t list = e.value & ~kListBit;
  std::vector<uint32_t>& slots = lists_[list];
  slots.erase(std::lower_bound(slots.begin(), slots.end(), slot));
  if (slots.size() == 1) {
    const uint32_t last = slots.front();
    std::vector<uint32_t>().swap(slots);
    free_lists_.push_back(list);
    e.value = last;
  }
}

// Linear probing without tombstones: later entries of the probe run move back into the hole
// unless their home lies cyclically within (hole, position].
void ColumnIndex::removeEntry(size_t at) {
  const size_t mask = table_.size() - 1;
  size_t hole = at;
  for (size_t j = (hole + 1) & mask; !isEmpty(table_[j]); j = (j + 1) & mask) {
    const size_t h = home(keyOfEntry(table_[j]));
    const bool stays = hole <= j ? (hole < h && h <= j) : (hole < h || h <= j);
    if (!stays) {
      table_[hole] = table_[j];
      hole = j;
    }
  }
  table_[hole] = Entry{};
  --used_;
}

std::span<const uint32_t> ColumnIndex::slots(uint64_t key) const {
  if (table_.empty()) return {};
  const Entry& e = table_[find(key)];
  if (isEmpty(e)) return {};
  if (!isList(e)) return {&e.value, 1};
  return lists_[e.value & ~kListBit];
}

}  // namespace tunora::marlbase

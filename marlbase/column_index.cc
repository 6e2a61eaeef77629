// ColumnIndex: an open-addressed table (linear probing, deletion by shifting back) from a value's
// key to the ascending list of slots holding it.
#include "marlbase/column_index.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

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

// Makes room for n elements in a vector about to be filled whole, asking the kernel for huge
// pages where that room is big: loading a big index then takes a few hundred page faults
// instead of one per 4 KiB.
template <typename T>
void reserveLarge(std::vector<T>& v, size_t n) {
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (v.capacity() >= n) return;
  std::vector<T>().swap(v);
  v.reserve(n);
  const auto start = reinterpret_cast<uintptr_t>(v.data());
  const uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (start + n * sizeof(T)) & ~(kHuge - 1);
  if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
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
  present_.assign((size_t{capacity} + 63) / 64, 0);
  members_ = 0;
  table_.assign(kInitialTableSize, Entry{});
  used_ = 0;
  lists_.clear();
  free_lists_.clear();
}

void ColumnIndex::resize(uint32_t capacity) {
  for (uint32_t s = capacity; s < key_of_.size(); ++s) erase(s);
  key_of_.resize(capacity, 0);
  present_.resize((size_t{capacity} + 63) / 64, 0);
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
  if (contains(slot)) erase(slot);
  key_of_[slot] = key;
  present_[slot >> 6] |= uint64_t{1} << (slot & 63);
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
  present_[slot >> 6] &= ~(uint64_t{1} << (slot & 63));
  --members_;
  const size_t at = find(key_of_[slot]);
  Entry& e = table_[at];
  // An index is never without its member's entry; one loaded from a cache that says otherwise
  // is left as it is rather than losing another key's entry.
  if (isEmpty(e)) return;
  if (!isList(e)) {
    if (e.value == slot) removeEntry(at);
    return;
  }
  const uint32_t list = e.value & ~kListBit;
  std::vector<uint32_t>& slots = lists_[list];
  const auto it = std::lower_bound(slots.begin(), slots.end(), slot);
  if (it == slots.end() || *it != slot) return;
  slots.erase(it);
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

// The image: head (capacity, members, table size, entries in use, lists, slots in all lists),
// the key of every slot, the table's entries as in memory, then the lists: each one's length
// (0 for a list not in use) and then all their slots, 32 bits each, padded to a whole word.
ColumnIndex::Image ColumnIndex::image() const {
  Image out;
  size_t list_slots = 0;
  for (const auto& list : lists_) list_slots += list.size();
  out.head = {capacity(), members_, table_.size(), used_, lists_.size(), list_slots};
  out.keys = key_of_;
  out.table = {reinterpret_cast<const uint8_t*>(table_.data()), table_.size() * sizeof(Entry)};
  std::vector<uint32_t> flat;
  flat.reserve(lists_.size() + list_slots + 1);
  for (const auto& list : lists_) flat.push_back(static_cast<uint32_t>(list.size()));
  for (const auto& list : lists_) flat.insert(flat.end(), list.begin(), list.end());
  if (flat.size() % 2 != 0) flat.push_back(0);
  out.lists.resize(flat.size() / 2);
  if (!flat.empty()) std::memcpy(out.lists.data(), flat.data(), flat.size() * 4);
  return out;
}

bool ColumnIndex::loadImage(uint32_t capacity, std::span<const uint64_t> occupied,
                            uint32_t occupied_count, uint64_t length,
                            const std::function<bool(void*, size_t)>& read) {
  reset(0);
  std::array<uint64_t, kImageHeadWords> head{};
  if (length < sizeof head || !read(head.data(), sizeof head)) return false;
  const auto [cap, members, table_size, used, list_count, list_slots] = head;
  // Sizes first, so that nothing is allocated for a length the part does not have.
  if (cap != capacity || members != occupied_count || occupied.size() != (cap + 63) / 64 ||
      table_size < kInitialTableSize || table_size > (uint64_t{1} << 32) ||
      !std::has_single_bit(table_size) || used * 10 > table_size * 7 || list_count > members ||
      list_slots > members) {
    return false;
  }
  const uint64_t list_words = (list_count + list_slots + 1) / 2;
  if (length != (kImageHeadWords + cap + table_size + list_words) * 8) return false;
  reserveLarge(key_of_, cap);
  key_of_.resize(cap);
  reserveLarge(table_, table_size);
  table_.resize(table_size);
  std::vector<uint32_t> flat(list_words * 2);
  if ((cap != 0 && !read(key_of_.data(), cap * 8)) ||
      !read(table_.data(), table_size * sizeof(Entry)) ||
      (!flat.empty() && !read(flat.data(), flat.size() * 4))) {
    reset(0);
    return false;
  }
  // Every entry names a slot of the table or a list in use that no other entry names; lists hold
  // ascending slots. So no lookup or change can read past an array, and a probe always ends at
  // an empty entry.
  bool ok = true;
  size_t taken = 0;
  lists_.resize(list_count);
  size_t at = list_count;
  for (size_t i = 0; i < list_count && ok; ++i) {
    const uint32_t n = flat[i];
    if (n == 1 || n > list_slots - (at - list_count)) {
      ok = false;
      break;
    }
    if (n == 0) free_lists_.push_back(static_cast<uint32_t>(i));
    lists_[i].assign(flat.begin() + static_cast<std::ptrdiff_t>(at),
                     flat.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    for (size_t k = 0; k < n && ok; ++k) {
      ok = lists_[i][k] < cap && (k == 0 || lists_[i][k - 1] < lists_[i][k]);
    }
  }
  ok = ok && at == list_count + list_slots;
  std::vector<bool> list_named(list_count, false);  // no two entries share a list
  for (const Entry& e : table_) {
    if (!ok) break;
    if (isEmpty(e)) continue;
    ++taken;
    if (isList(e)) {
      const uint32_t list = e.value & ~kListBit;
      ok = list < list_count && !lists_[list].empty() && !list_named[list];
      if (ok) list_named[list] = true;
    } else {
      ok = e.value < cap;
    }
  }
  if (!ok || taken != used || used >= table_size) {
    reset(0);
    return false;
  }
  used_ = used;
  members_ = static_cast<uint32_t>(members);
  present_.assign(occupied.begin(), occupied.end());
  return true;
}

}  // namespace tunora::marlbase

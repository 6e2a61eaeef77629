// ColumnIndex: an open-addressed table (linear probing, deletion by shifting back) from a value's
// key to the ascending list of slots holding it.
#include "marlbase/column_index.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tunora::marlbase {
namespace {

uint8_t foldAscii(uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 32) : c; }

}  // namespace

uint64_t textKey(const uint8_t* text, uint32_t limit) {
  // FNV-1a over the folded bytes, then mixed. (A column holds texts or integers, never both.)
  uint64_t h = 0xcbf29ce484222325ULL;
  for (uint32_t i = 0; i < limit && text[i] != 0; ++i) {
    h ^= foldAscii(text[i]);
    h *= 0x100000001b3ULL;
  }
  return ColumnIndex::spread(h);
}

uint64_t ColumnIndex::spread(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

void ColumnIndex::reset(uint32_t capacity) {
  view_.reset();
  broken_ = false;
  changed_.clear();
  changed_key_.clear();
  added_.clear();
  capacity_ = capacity;
  key_of_.assign(capacity, 0);
  present_.assign((size_t{capacity} + 63) / 64, 0);
  members_ = 0;
  table_.assign(kInitialTableSize, Entry{});
  used_ = 0;
  lists_.clear();
  free_lists_.clear();
}

void ColumnIndex::assign(uint32_t capacity,
                         std::span<const std::pair<uint32_t, uint64_t>> members) {
  reset(capacity);
  size_t table_size = kInitialTableSize;
  while (members.size() * 10 >= table_size * 7) table_size *= 2;
  table_.assign(table_size, Entry{});
  for (const auto& [slot, key] : members) insert(slot, key);
}

void ColumnIndex::resize(uint32_t capacity) {
  materialize();
  for (uint32_t s = capacity; s < key_of_.size(); ++s) erase(s);
  capacity_ = capacity;
  key_of_.resize(capacity, 0);
  present_.resize((size_t{capacity} + 63) / 64, 0);
}

size_t ColumnIndex::home(uint64_t key) const { return spread(key) & (table_.size() - 1); }

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
  if (slot >= capacity_ || slot >= kListBit) return;
  if (view_) {
    overlayInsert(slot, key);
    return;
  }
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
  if (view_) {
    overlayErase(slot);
    return;
  }
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

uint64_t ColumnIndex::keyOf(uint32_t slot) const {
  if (!view_) return key_of_[slot];
  const auto it = changed_key_.find(slot);
  return it != changed_key_.end() ? it->second : viewKey(slot);
}

std::span<const uint32_t> ColumnIndex::slots(uint64_t key) const {
  if (view_) {
    found_.clear();
    viewSlots(key, found_);
    if (broken_) {
      found_.clear();
      return {};
    }
    if (!changed_.empty()) {
      std::erase_if(found_, [&](uint32_t s) { return changed_.contains(s); });
      if (const auto it = added_.find(key); it != added_.end()) {
        const size_t middle = found_.size();
        found_.insert(found_.end(), it->second.begin(), it->second.end());
        std::inplace_merge(found_.begin(), found_.begin() + static_cast<std::ptrdiff_t>(middle),
                           found_.end());
      }
    }
    return found_;
  }
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
  if (length % 8 != 0 || length > (uint64_t{1} << 40)) return false;
  // Sizes first, so that nothing is allocated for a length the image does not have.
  std::array<uint64_t, kImageHeadWords> head{};
  if (length < sizeof head || !read(head.data(), sizeof head)) return false;
  const uint64_t table_size = head[2], list_words = (head[4] + head[5] + 1) / 2;
  if (head[0] != capacity || table_size > (uint64_t{1} << 32) || head[4] > capacity ||
      head[5] > capacity || length != (kImageHeadWords + head[0] + table_size + list_words) * 8) {
    return false;
  }
  auto bytes = std::make_shared<std::vector<uint64_t>>(length / 8);
  std::memcpy(bytes->data(), head.data(), sizeof head);
  if (!read(bytes->data() + kImageHeadWords, length - sizeof head)) return false;
  const std::span<const uint8_t> image(reinterpret_cast<const uint8_t*>(bytes->data()), length);
  return loadView(capacity, occupied, occupied_count, image, {}, std::move(bytes));
}

}  // namespace tunora::marlbase

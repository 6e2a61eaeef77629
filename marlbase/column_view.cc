// ColumnIndex as a view of an image in place (the index cache's column part, mapped): the image's
// check, its lookups, and the overlay of the changes made since it was loaded.
#include <algorithm>
#include <bit>
#include <cstring>

#include "marlbase/column_index.h"

namespace tunora::marlbase {
namespace {

template <typename T>
T at(const uint8_t* p, size_t index) {
  T value;
  std::memcpy(&value, p + index * sizeof(T), sizeof value);
  return value;
}

}  // namespace

bool ColumnIndex::loadView(uint32_t capacity, std::span<const uint64_t> occupied,
                           uint32_t occupied_count, std::span<const uint8_t> image,
                           std::shared_ptr<const void> keep) {
  reset(0);
  if (image.size() < kImageHeadWords * 8) return false;
  std::array<uint64_t, kImageHeadWords> head{};
  std::memcpy(head.data(), image.data(), sizeof head);
  const auto [cap, members, table_size, used, list_count, list_slots] = head;
  if (cap != capacity || members != occupied_count || occupied.size() != (cap + 63) / 64 ||
      table_size < kInitialTableSize || table_size > (uint64_t{1} << 32) ||
      !std::has_single_bit(table_size) || used * 10 > table_size * 7 || used >= table_size ||
      list_count > members || list_slots > members) {
    return false;
  }
  const uint64_t list_words = (list_count + list_slots + 1) / 2;
  if (image.size() != (kImageHeadWords + cap + table_size + list_words) * 8) return false;
  auto view = std::make_unique<View>();
  view->keys = image.data() + kImageHeadWords * 8;
  view->table = view->keys + cap * 8;
  view->table_size = table_size;
  const uint8_t* lengths = view->table + table_size * 8;
  view->list_slots = lengths + list_count * 4;
  // Every entry names a slot of the table or a list in use that no other entry names; lists hold
  // two or more ascending slots. So no lookup can read past the image, and a probe always ends at
  // an empty entry.
  view->list_start.resize(list_count + 1);
  uint64_t taken_slots = 0;
  for (size_t i = 0; i < list_count; ++i) {
    const auto n = at<uint32_t>(lengths, i);
    if (n == 1 || n > list_slots - taken_slots) return false;
    view->list_start[i] = static_cast<uint32_t>(taken_slots);
    for (uint64_t k = taken_slots; k < taken_slots + n; ++k) {
      const auto slot = at<uint32_t>(view->list_slots, k);
      if (slot >= cap || (k > taken_slots && at<uint32_t>(view->list_slots, k - 1) >= slot)) {
        return false;
      }
    }
    taken_slots += n;
  }
  if (taken_slots != list_slots) return false;
  view->list_start[list_count] = static_cast<uint32_t>(taken_slots);
  std::vector<bool> list_named(list_count, false);
  uint64_t taken = 0;
  for (size_t i = 0; i < table_size; ++i) {
    const Entry e = at<Entry>(view->table, i);
    if (isEmpty(e)) continue;
    ++taken;
    if (isList(e)) {
      const uint32_t list = e.value & ~kListBit;
      if (list >= list_count || view->list_start[list] == view->list_start[list + 1] ||
          list_named[list]) {
        return false;
      }
      list_named[list] = true;
    } else if (e.value >= cap) {
      return false;
    }
  }
  if (taken != used) return false;
  view->keep = std::move(keep);
  view_ = std::move(view);
  capacity_ = capacity;
  key_of_.clear();
  table_.clear();
  present_.assign(occupied.begin(), occupied.end());
  members_ = occupied_count;
  used_ = used;
  return true;
}

ColumnIndex::Entry ColumnIndex::viewEntry(size_t index) const {
  return at<Entry>(view_->table, index);
}

uint64_t ColumnIndex::viewKey(uint32_t slot) const { return at<uint64_t>(view_->keys, slot); }

uint64_t ColumnIndex::viewKeyOfEntry(const Entry& e) const {
  if (!isList(e)) return viewKey(e.value);
  return viewKey(at<uint32_t>(view_->list_slots, view_->list_start[e.value & ~kListBit]));
}

void ColumnIndex::viewSlots(uint64_t key, std::vector<uint32_t>& out) const {
  const size_t mask = view_->table_size - 1;
  const uint32_t tag = tagOf(key);
  for (size_t i = spread(key) & mask;; i = (i + 1) & mask) {
    const Entry e = viewEntry(i);
    if (isEmpty(e)) return;
    if (e.tag != tag || viewKeyOfEntry(e) != key) continue;
    if (!isList(e)) {
      out.push_back(e.value);
      return;
    }
    const uint32_t list = e.value & ~kListBit;
    for (uint32_t k = view_->list_start[list]; k < view_->list_start[list + 1]; ++k) {
      out.push_back(at<uint32_t>(view_->list_slots, k));
    }
    return;
  }
}

void ColumnIndex::overlayInsert(uint32_t slot, uint64_t key) {
  if (contains(slot)) overlayErase(slot);
  present_[slot >> 6] |= uint64_t{1} << (slot & 63);
  ++members_;
  changed_.insert(slot);
  changed_key_[slot] = key;
  std::vector<uint32_t>& list = added_[key];
  list.insert(std::lower_bound(list.begin(), list.end(), slot), slot);
}

void ColumnIndex::overlayErase(uint32_t slot) {
  present_[slot >> 6] &= ~(uint64_t{1} << (slot & 63));
  --members_;
  changed_.insert(slot);
  const auto it = changed_key_.find(slot);
  if (it == changed_key_.end()) return;
  const auto list = added_.find(it->second);
  std::erase(list->second, slot);
  if (list->second.empty()) added_.erase(list);
  changed_key_.erase(it);
}

void ColumnIndex::materialize() {
  if (!view_) return;
  std::vector<std::pair<uint32_t, uint64_t>> members;
  members.reserve(members_);
  for (size_t w = 0; w < present_.size(); ++w) {
    for (uint64_t bits = present_[w]; bits != 0; bits &= bits - 1) {
      const auto slot = static_cast<uint32_t>(w * 64 + static_cast<size_t>(std::countr_zero(bits)));
      members.emplace_back(slot, keyOf(slot));
    }
  }
  reset(capacity_);
  size_t table_size = kInitialTableSize;
  while (members.size() * 10 >= table_size * 7) table_size *= 2;
  table_.assign(table_size, Entry{});
  for (const auto& [slot, key] : members) insert(slot, key);
}

}  // namespace tunora::marlbase

// ColumnIndex as a view of an image in place (the index cache's column part, mapped): the image's
// check, its lookups, and the overlay of the changes made since it was loaded.
#include <algorithm>
#include <bit>
#include <cstring>

#include "marlbase/column_index.h"
#include "marlbase/index_cache_key.h"

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
                           std::span<const uint64_t> block_sums, std::shared_ptr<const void> keep) {
  reset(0);
  const size_t blocks = (image.size() + kViewBlock - 1) / kViewBlock;
  if (image.size() < kImageHeadWords * 8 || image.size() % 8 != 0 ||
      (!block_sums.empty() && block_sums.size() != blocks)) {
    return false;
  }
  auto view = std::make_unique<View>();
  view->image = image;
  view->block_sums.assign(block_sums.begin(), block_sums.end());
  view->checked.assign(blocks, block_sums.empty());
  view_ = std::move(view);
  std::array<uint64_t, kImageHeadWords> head{};
  if (!viewBytesRight(0, sizeof head)) {
    reset(0);
    return false;
  }
  std::memcpy(head.data(), image.data(), sizeof head);
  const auto [cap, members, table_size, used, list_count, list_slots] = head;
  const uint64_t list_words = (list_count + list_slots + 1) / 2;
  if (cap != capacity || members != occupied_count || occupied.size() != (cap + 63) / 64 ||
      table_size < kInitialTableSize || table_size > (uint64_t{1} << 32) ||
      !std::has_single_bit(table_size) || used * 10 > table_size * 7 || used >= table_size ||
      list_count > members || list_slots > members ||
      image.size() != (kImageHeadWords + cap + table_size + list_words) * 8) {
    reset(0);
    return false;
  }
  View& v = *view_;
  v.table_size = table_size;
  v.keys_at = kImageHeadWords * 8;
  v.table_at = v.keys_at + cap * 8;
  v.lengths_at = v.table_at + table_size * 8;
  v.list_slots_at = v.lengths_at + list_count * 4;
  // The lists' lengths, read whole: each list holds none (not in use) or two or more slots, and
  // together they hold the list slots.
  v.list_start.resize(list_count + 1);
  uint64_t taken = 0;
  bool ok = viewBytesRight(v.lengths_at, list_count * 4);
  for (size_t i = 0; ok && i < list_count; ++i) {
    uint32_t n;
    std::memcpy(&n, image.data() + v.lengths_at + i * 4, 4);
    ok = n != 1 && n <= list_slots - taken;
    v.list_start[i] = static_cast<uint32_t>(taken);
    taken += n;
  }
  v.list_start[list_count] = static_cast<uint32_t>(taken);
  if (!ok || taken != list_slots || (block_sums.empty() && !checkWholeView())) {
    reset(0);
    return false;
  }
  v.keep = std::move(keep);
  capacity_ = capacity;
  key_of_.clear();
  table_.clear();
  present_.assign(occupied.begin(), occupied.end());
  members_ = occupied_count;
  used_ = used;
  return true;
}

bool ColumnIndex::viewBytesRight(size_t offset, size_t size) const {
  View& v = *view_;
  if (size == 0) return true;
  if (offset > v.image.size() || size > v.image.size() - offset) {
    broken_ = true;
    return false;
  }
  for (size_t b = offset / kViewBlock; b <= (offset + size - 1) / kViewBlock; ++b) {
    if (v.checked[b]) continue;
    const size_t from = b * kViewBlock;
    const size_t length = std::min(kViewBlock, v.image.size() - from);
    if (contentHash(v.image.data() + from, length) != v.block_sums[b]) {
      broken_ = true;
      return false;
    }
    v.checked[b] = true;
  }
  return true;
}

// Every entry names a slot of the table or a list in use that no other entry names; lists hold
// ascending slots; entries in use are as many as the head says.
bool ColumnIndex::checkWholeView() const {
  const View& v = *view_;
  const uint64_t cap = (v.table_at - v.keys_at) / 8;
  const size_t list_count = v.list_start.size() - 1;
  for (size_t i = 0; i < list_count; ++i) {
    for (uint32_t k = v.list_start[i]; k < v.list_start[i + 1]; ++k) {
      const uint32_t slot = viewListSlot(k);
      if (slot >= cap || (k > v.list_start[i] && viewListSlot(k - 1) >= slot)) return false;
    }
  }
  std::vector<bool> list_named(list_count, false);
  uint64_t taken = 0;
  for (size_t i = 0; i < v.table_size; ++i) {
    const Entry e = viewEntry(i);
    if (isEmpty(e)) continue;
    ++taken;
    if (isList(e)) {
      const uint32_t list = e.value & ~kListBit;
      if (list >= list_count || v.list_start[list] == v.list_start[list + 1] || list_named[list]) {
        return false;
      }
      list_named[list] = true;
    } else if (e.value >= cap) {
      return false;
    }
  }
  uint64_t used;
  std::memcpy(&used, v.image.data() + 3 * 8, 8);
  return taken == used;
}

ColumnIndex::Entry ColumnIndex::viewEntry(size_t index) const {
  const size_t offset = view_->table_at + index * sizeof(Entry);
  if (!viewBytesRight(offset, sizeof(Entry))) return Entry{};
  return at<Entry>(view_->image.data() + offset, 0);
}

uint64_t ColumnIndex::viewKey(uint32_t slot) const {
  const size_t offset = view_->keys_at + size_t{slot} * 8;
  return viewBytesRight(offset, 8) ? at<uint64_t>(view_->image.data() + offset, 0) : 0;
}

uint32_t ColumnIndex::viewListSlot(size_t index) const {
  const size_t offset = view_->list_slots_at + index * 4;
  return viewBytesRight(offset, 4) ? at<uint32_t>(view_->image.data() + offset, 0) : 0;
}

uint64_t ColumnIndex::viewKeyOfEntry(const Entry& e) const {
  uint32_t slot = e.value;
  if (isList(e)) {
    const uint32_t list = e.value & ~kListBit;
    if (list + size_t{1} >= view_->list_start.size() ||
        view_->list_start[list] == view_->list_start[list + 1]) {
      broken_ = true;
      return 0;
    }
    slot = viewListSlot(view_->list_start[list]);
  }
  if (slot >= capacity_) {
    broken_ = true;
    return 0;
  }
  return viewKey(slot);
}

void ColumnIndex::viewSlots(uint64_t key, std::vector<uint32_t>& out) const {
  const size_t mask = view_->table_size - 1;
  const uint32_t tag = tagOf(key);
  size_t i = spread(key) & mask;
  for (size_t probes = 0; probes < view_->table_size && !broken_; ++probes, i = (i + 1) & mask) {
    const Entry e = viewEntry(i);
    if (isEmpty(e)) return;
    if (e.tag != tag || viewKeyOfEntry(e) != key || broken_) continue;
    if (!isList(e)) {
      out.push_back(e.value);
      return;
    }
    const uint32_t list = e.value & ~kListBit;
    const size_t first = out.size();
    for (uint32_t k = view_->list_start[list]; k < view_->list_start[list + 1]; ++k) {
      const uint32_t slot = viewListSlot(k);
      if (slot >= capacity_ || (out.size() > first && out.back() >= slot)) broken_ = true;
      out.push_back(slot);
    }
    if (broken_) out.resize(first);
    return;
  }
  // No empty entry ends the probe: the table is not one this program wrote.
  broken_ = true;
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
  if (broken_) return;  // the view stays, broken
  assign(capacity_, members);
}

}  // namespace tunora::marlbase

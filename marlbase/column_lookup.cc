// Whole-value lookups by column through the column indexes, and keeping those indexes current.
//
// A column's index holds every occupied slot (status above 9) under the key of its field. The
// lookup takes the candidates under the search key's key and compares each with the search key as
// the plain scan would, so the results are the scan's: findInColumn the highest match among slots
// capacity-1 down to 1, findInColumnFrom the lowest from its start. The value buffers are left as
// the scan leaves them: the matching field, or when nothing matches the last field the scan would
// have examined (the lowest occupied slot above 0, or the highest occupied slot from the start).
#include <algorithm>

#include "marlbase/lookup_keys.h"
#include "marlbase/table_handle.h"

namespace tunora::marlbase {

uint64_t TableHandle::fieldKey(uint32_t slot, int32_t column) const {
  const uint32_t type = column_types_[column - 1];
  const uint8_t* field = fieldAddress(slot, column);
  if (!isTextType(type)) return integerKey(integerField(field, type));
  return textKey(field, fieldWidth(type) - 1);
}

uint64_t TableHandle::searchKeyFor(int32_t column) const {
  if (!isTextType(column_types_[column - 1])) return integerKey(numericKey(search_key_.data()));
  return textKey(reinterpret_cast<const uint8_t*>(search_key_.data()), kSearchKeySize - 1);
}

ColumnIndex& TableHandle::lookupIndex(int32_t column) {
  if (column_indexes_.size() != static_cast<size_t>(column_count_)) {
    column_indexes_.clear();
    column_indexes_.resize(static_cast<size_t>(column_count_));
  }
  std::unique_ptr<ColumnIndex>& index = column_indexes_[column - 1];
  if (!index) {
    index = std::make_unique<ColumnIndex>();
    if (!loadCachedColumn(column, *index)) buildColumnIndex(column, *index);
  }
  return *index;
}

void TableHandle::buildColumnIndex(int32_t column, ColumnIndex& index) {
  index.reset(capacity_);
  const SlotSet& occupied = slots().occupiedSlots();
  for (uint32_t s = occupied.next(0); s != SlotSet::kNone; s = occupied.next(s + 1)) {
    index.insert(s, fieldKey(s, column));
  }
  save_index_cache_ = true;
}

// A view of the cache whose bytes turn out not to check out answers nothing: the index is built
// from the table instead, and the close writes a whole cache.
std::span<const uint32_t> TableHandle::candidates(int32_t column) {
  ColumnIndex& index = lookupIndex(column);
  const uint64_t key = searchKeyFor(column);
  const std::span<const uint32_t> found = index.slots(key);
  if (!index.broken()) return found;
  whole_cache_ = true;
  buildColumnIndex(column, index);
  return index.slots(key);
}

void TableHandle::unindexSlot(uint32_t slot) {
  for (auto& index : column_indexes_) {
    if (index) index->erase(slot);
  }
}

void TableHandle::indexSlot(uint32_t slot) {
  if (statusAt(slot) <= kHighestFreeStatus) return;
  for (size_t c = 0; c < column_indexes_.size(); ++c) {
    if (column_indexes_[c])
      column_indexes_[c]->insert(slot, fieldKey(slot, static_cast<int32_t>(c + 1)));
  }
}

// After records moved (compaction, sort): the record now in slot s came from source[s]. Its key is
// the one it had there, so nothing is read from the file.
void TableHandle::rekeyColumnIndexes(const std::vector<uint32_t>& source) {
  whole_cache_ = true;
  const SlotSet& occupied = slots().occupiedSlots();
  std::vector<std::pair<uint32_t, uint64_t>> members;
  for (auto& index : column_indexes_) {
    if (!index) continue;
    // The keys are read from a view of the cache as they are; the index is then built once.
    members.clear();
    for (uint32_t s = occupied.next(0); s != SlotSet::kNone; s = occupied.next(s + 1)) {
      members.emplace_back(s, index->keyOf(source[s]));
    }
    // A view of the cache that does not check out is built again from the table when next
    // looked up.
    if (index->broken()) {
      index.reset();
      continue;
    }
    index->assign(capacity_, members);
  }
}

// After the capacity changed: slots past a lower capacity leave the indexes; the occupied slots a
// growth added (a file may hold records past its capacity) join them.
void TableHandle::resizeColumnIndexes(uint32_t old_capacity) {
  whole_cache_ = true;
  for (auto& index : column_indexes_) {
    if (index) index->materialize();
    if (index && index->broken()) index.reset();
    if (index) index->resize(capacity_);
  }
  for (uint32_t s = old_capacity; s < capacity_; ++s) indexSlot(s);
}

int32_t TableHandle::findInColumn(int32_t column) {
  if (!usable() || !validColumn(column) || capacity_ < 2) return -1;
  const uint32_t numeric = numericKey(search_key_.data());
  const std::span<const uint32_t> found = candidates(column);
  for (auto it = found.rbegin(); it != found.rend() && *it != 0; ++it) {
    if (fieldEqualsKey(*it, column, numeric)) {
      const auto match = static_cast<int32_t>(*it);
      readField(match, column);
      return match;
    }
  }
  // The scan downwards would have ended at the lowest occupied slot above 0.
  const uint32_t last_examined = slots().occupiedSlots().next(1);
  if (last_examined != SlotSet::kNone) readField(static_cast<int32_t>(last_examined), column);
  return -1;
}

int32_t TableHandle::findInColumnFrom(int32_t start, int32_t column) {
  if (!usable() || !validColumn(column)) return -1;
  if (start < 0) start = 0;
  if (static_cast<uint32_t>(start) >= capacity_) return -1;
  const auto from = static_cast<uint32_t>(start);
  const uint32_t numeric = numericKey(search_key_.data());
  const std::span<const uint32_t> found = candidates(column);
  for (auto it = std::lower_bound(found.begin(), found.end(), from); it != found.end(); ++it) {
    if (fieldEqualsKey(*it, column, numeric)) {
      const auto match = static_cast<int32_t>(*it);
      readField(match, column);
      return match;
    }
  }
  // The scan upwards would have ended at the highest occupied slot.
  const uint32_t last_examined = slots().occupiedSlots().previous(capacity_ - 1);
  if (last_examined != SlotSet::kNone && last_examined >= from) {
    readField(static_cast<int32_t>(last_examined), column);
  }
  return -1;
}

}  // namespace tunora::marlbase

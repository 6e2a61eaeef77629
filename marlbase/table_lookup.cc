// Lookups: a field's whole value against the search key (the comparison; the lookups by column
// are in column_lookup.cc), the key anywhere in a record, and the next record that holds it.
//
// Text comparisons fold letters: an ASCII letter in the field also matches the same letter in the
// other case; every other byte must be equal. Each lookup leaves the last field it examined in
// the value buffers, as reading that field would.
#include "marlbase/lookup_keys.h"
#include "marlbase/table_handle.h"

namespace tunora::marlbase {

bool TableHandle::fieldEqualsKey(uint32_t slot, int32_t column, uint32_t numeric_key) const {
  const uint32_t type = column_types_[column - 1];
  const uint8_t* field = fieldAddress(slot, column);
  if (!isTextType(type)) return integerField(field, type) == numeric_key;
  const auto* key = reinterpret_cast<const uint8_t*>(search_key_.data());
  const uint32_t limit = fieldWidth(type) - 1;
  uint32_t i = 0;
  for (; i < limit && field[i] != 0; ++i) {
    if (key[i] == 0 || !sameFolded(field[i], key[i])) return false;
  }
  return key[i] == 0;
}

bool TableHandle::fieldContainsKey(uint32_t slot, int32_t column, uint32_t numeric_key) const {
  const uint32_t type = column_types_[column - 1];
  const uint8_t* field = fieldAddress(slot, column);
  if (!isTextType(type))
    return numeric_key != UINT32_MAX && integerField(field, type) == numeric_key;
  const auto* key = reinterpret_cast<const uint8_t*>(search_key_.data());
  const uint32_t limit = fieldWidth(type) - 1;
  uint32_t k = 0;
  uint32_t f = 0;
  // After a difference the scan goes on after the differing character with the key from its
  // start: characters of a partial match are not examined again.
  while (true) {
    if (key[k] == 0) return true;
    if (f >= limit || field[f] == 0) return false;
    if (sameFolded(field[f], key[k])) {
      ++k;
    } else {
      k = 0;
    }
    ++f;
  }
}

int32_t TableHandle::recordMatches(int32_t slot) {
  if (!usable() || !validSlot(slot)) return -1;
  uint32_t key = numericKey(search_key_.data());
  if (key == 0) key = UINT32_MAX;  // no integer field matches 0 or a key that is not a number
  int32_t stop = 1;
  bool matched = false;
  for (int32_t c = column_count_; c >= 1; --c) {
    if (fieldContainsKey(static_cast<uint32_t>(slot), c, key)) {
      stop = c;
      matched = true;
      break;
    }
  }
  // The columns were examined from the last down to `stop`: the text buffer holds the last text
  // column examined and the integer buffer the last integer column.
  int32_t last_text = 0;
  int32_t last_integer = 0;
  for (int32_t c = column_count_; c >= stop; --c) {
    (isTextType(column_types_[c - 1]) ? last_text : last_integer) = c;
  }
  if (last_text != 0) readField(slot, last_text);
  if (last_integer != 0) readField(slot, last_integer);
  return matched ? slot : -1;
}

int32_t TableHandle::findNext(int32_t slot) {
  if (!usable() || capacity_ == 0) return -1;
  uint32_t from;
  if (slot < 0) {
    from = 0;
  } else if (static_cast<uint32_t>(slot) < capacity_ - 1) {
    from = static_cast<uint32_t>(slot) + 1;
  } else {
    from = static_cast<uint32_t>(slot);
  }
  const SlotSet& live = slots().live();
  for (uint32_t s = live.next(from); s != SlotSet::kNone; s = live.next(s + 1)) {
    if (recordMatches(static_cast<int32_t>(s)) >= 0) return static_cast<int32_t>(s);
  }
  return -1;
}

}  // namespace tunora::marlbase

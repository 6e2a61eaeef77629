// Sorting a table by one column: compaction first, then a stable sort of the occupied records
// by the column's text (integers as their decimal text) in the collation of collation.h.
//
// Equal values keep their order, as an exchange sort of neighbours would leave them; the records
// are ordered by precomputed sort keys and then moved into place along the permutation's cycles,
// one whole, journalled move at a time through a free slot (or, on a table with none, through
// the journal's held record), so that after a kill part-way every record is there exactly once.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <unordered_map>
#include <vector>

#include "marlbase/collation.h"
#include "marlbase/table_handle.h"

namespace tunora::marlbase {

// Sorts the occupied records of slots begin .. end-1 in place.
// source[s] := the slot whose record is now in s.
void TableHandle::sortRun(uint32_t begin, uint32_t end, int32_t column, const Collation& collation,
                          std::vector<uint32_t>& source) {
  const uint32_t m = end - begin;
  const uint32_t type = column_types_[column - 1];
  // Equal texts have equal sort keys: each distinct text's key is made once, the distinct keys
  // are ranked, and the records are counted into place by their text's rank, which keeps equal
  // ones in slot order, as a stable sort by key would.
  std::unordered_map<std::string, uint32_t> distinct;
  std::vector<const std::string*> texts;
  std::vector<uint32_t> text_of(m);
  std::string text;
  for (uint32_t s = 0; s < m; ++s) {
    const uint8_t* field = fieldAddress(begin + s, column);
    if (isTextType(type)) {
      text.assign(reinterpret_cast<const char*>(field),
                  strnlen(reinterpret_cast<const char*>(field), fieldWidth(type) - 1));
    } else if (type == 0) {
      text = std::to_string(field[0]);
    } else if (type == 1) {
      text = std::to_string(uint32_t{field[0]} | uint32_t{field[1]} << 8);
    } else {
      text = std::to_string(loadU32(field));
    }
    const auto [it, added] = distinct.try_emplace(text, static_cast<uint32_t>(texts.size()));
    if (added) texts.push_back(&it->first);
    text_of[s] = it->second;
  }
  const auto n = static_cast<uint32_t>(texts.size());
  std::vector<std::string> keys(n);
  for (uint32_t d = 0; d < n; ++d) keys[d] = collation.sortKey(*texts[d]);
  std::vector<uint32_t> by_key(n);
  std::iota(by_key.begin(), by_key.end(), 0);
  std::sort(by_key.begin(), by_key.end(),
            [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
  std::vector<uint32_t> rank(n);
  uint32_t ranks = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (i > 0 && keys[by_key[i - 1]] < keys[by_key[i]]) ++ranks;
    rank[by_key[i]] = ranks;
  }
  std::vector<uint32_t> first(size_t{ranks} + 2, 0);
  for (uint32_t s = 0; s < m; ++s) ++first[rank[text_of[s]] + 1];
  for (size_t r = 1; r < first.size(); ++r) first[r] += first[r - 1];
  std::vector<uint32_t> order(m);  // order[k] = the slot whose record goes to slot k
  for (uint32_t s = 0; s < m; ++s) order[first[rank[text_of[s]]]++] = s;

  std::vector<int32_t> old_status(m);
  for (uint32_t s = 0; s < m; ++s) old_status[s] = statusAt(begin + s);
  // Each cycle goes through a free slot, which gets its own bytes back at the end; without one,
  // through the held record of the journal. Every step is a move that finishes before the next.
  const uint32_t spare = spareSlot();
  std::vector<uint8_t> spare_bytes(record_size_);
  std::vector<uint8_t> held(record_size_);
  if (spare != SlotSet::kNone) std::memcpy(spare_bytes.data(), slotAddress(spare), record_size_);
  std::vector<bool> placed(m, false);
  for (uint32_t start = 0; start < m; ++start) {
    if (placed[start] || order[start] == start) continue;
    // Walk the cycle start <- order[start] <- order[order[start]] ...
    if (spare != SlotSet::kNone) {
      moveRecord(begin + start, spare);
    } else {
      holdOut(begin + start, held);
    }
    uint32_t k = start;
    while (order[k] != start) {
      moveRecord(begin + order[k], begin + k);
      placed[k] = true;
      k = order[k];
    }
    if (spare != SlotSet::kNone) {
      moveRecord(spare, begin + k);
    } else {
      holdIn(held, begin + k);
    }
    placed[k] = true;
  }
  if (spare != SlotSet::kNone) {
    std::memcpy(slotAddress(spare) + kStatusSize, spare_bytes.data() + kStatusSize,
                record_size_ - kStatusSize);
    storeStatusWord(spare, static_cast<int32_t>(loadU32(spare_bytes.data())));
  }
  for (uint32_t s = 0; s < m; ++s) {
    slots().change(begin + s, old_status[s], old_status[order[s]]);
    source[begin + s] = begin + order[s];
  }
}

// The lowest free slot (status 9 or below), or kNone.
uint32_t TableHandle::spareSlot() const {
  uint32_t best = std::min(slots().unused().next(0), slots().deleted().next(0));
  const SlotSet& other = slots().other();
  for (uint32_t s = other.next(0); s != SlotSet::kNone && s < best; s = other.next(s + 1)) {
    if (statusAt(s) <= kHighestFreeStatus) return s;
  }
  return best;
}

int32_t TableHandle::sortByColumn(int32_t column) {
  return sortByColumn(column, Collation::userLocale());
}

int32_t TableHandle::sortByColumn(int32_t column, const std::string& locale) {
  if (!usable() || !canWrite() || capacity_ <= 2 || !validColumn(column)) return 0;
  std::unique_ptr<Collation> collation = Collation::forLocale(locale);
  if (!collation) return 0;
  (void)compact();
  // Without its journal a kill could leave a record twice or lose one: no sort then.
  if (!journal_.begin(path_, record_size_, capacity_)) return 0;

  // After a complete compaction the occupied records are slots 0 .. m-1; while the compaction
  // hold is raised they may lie in several runs, and each run is sorted on its own (records are
  // only ever exchanged with an occupied neighbour).
  std::vector<uint32_t> source(capacity_);
  std::iota(source.begin(), source.end(), 0);
  uint32_t s = 0;
  while (s < capacity_) {
    if (statusAt(s) <= kHighestFreeStatus) {
      ++s;
      continue;
    }
    uint32_t end = s;
    while (end < capacity_ && statusAt(end) > kHighestFreeStatus) ++end;
    sortRun(s, end, column, *collation, source);
    s = end;
  }
  journal_.end();
  rekeyColumnIndexes(source);
  dirty_ = true;
  recount();
  return 1;
}

}  // namespace tunora::marlbase

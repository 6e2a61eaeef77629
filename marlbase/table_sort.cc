// Sorting a table by one column: compaction first, then a stable sort of the occupied records
// by the column's text (integers as their decimal text) in the collation of collation.h.
//
// Equal values keep their order, as an exchange sort of neighbours would leave them. The records
// are ordered by precomputed sort keys and then moved into place one whole, journalled move at a
// time into a free slot (or, on a table with no free slot, through the journal's held record), so
// that after a kill part-way every record is there exactly once.
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <numeric>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "marlbase/collation.h"
#include "marlbase/table_handle.h"

namespace tunora::marlbase {

// The order of the records in `slots` by the column: order[k] = the index in `slots` of the
// record that goes k-th.
std::vector<uint32_t> TableHandle::sortOrder(const std::vector<uint32_t>& slots, int32_t column,
                                             const Collation& collation) const {
  const auto m = static_cast<uint32_t>(slots.size());
  const uint32_t type = column_types_[column - 1];
  // Equal texts have equal sort keys: each distinct text's key is made once, the distinct keys
  // are ranked, and the records are counted into place by their text's rank, which keeps equal
  // ones in slot order, as a stable sort by key would. Texts are read in place (nothing writes
  // the mapping meanwhile); integers' decimal texts are kept in `numbers`.
  std::unordered_map<std::string_view, uint32_t> distinct;
  std::deque<std::string> numbers;
  std::vector<std::string_view> texts;
  std::vector<uint32_t> text_of(m);
  // Records lie a whole record apart, so each field read waits for memory: the field of the
  // record a few places ahead is asked for while this one is read.
  constexpr uint32_t kAhead = 8;
  for (uint32_t s = 0; s < m; ++s) {
    if (s + kAhead < m) __builtin_prefetch(fieldAddress(slots[s + kAhead], column));
    const uint8_t* field = fieldAddress(slots[s], column);
    std::string_view text;
    if (isTextType(type)) {
      const auto* chars = reinterpret_cast<const char*>(field);
      text = std::string_view(chars, strnlen(chars, fieldWidth(type) - 1));
    } else {
      const uint32_t value = type == 0   ? field[0]
                             : type == 1 ? (uint32_t{field[0]} | uint32_t{field[1]} << 8)
                                         : loadU32(field);
      const std::string decimal = std::to_string(value);
      const auto found = distinct.find(decimal);
      text = found != distinct.end() ? found->first : numbers.emplace_back(decimal);
    }
    const auto [it, added] = distinct.try_emplace(text, static_cast<uint32_t>(texts.size()));
    if (added) texts.push_back(text);
    text_of[s] = it->second;
  }
  const auto n = static_cast<uint32_t>(texts.size());
  std::vector<std::string> keys(n);
  for (uint32_t d = 0; d < n; ++d) keys[d] = collation.sortKey(texts[d]);
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
  std::vector<uint32_t> order(m);
  for (uint32_t s = 0; s < m; ++s) order[first[rank[text_of[s]]]++] = s;
  return order;
}

// Moves the record now in slot from[k] into slot first + k, for every k; `from` holds the slots
// first .. first + m - 1 in another order. The permutation's cycles each go through `spare`, a
// free slot outside them (its bytes are the caller's to restore), or, when it is kNone, through
// the journal's held record: the cycle's first record moves out to the spare, the cycle is walked,
// and the spare's record goes into the slot the cycle frees last.
void TableHandle::placeRecords(uint32_t first, const std::vector<uint32_t>& from, uint32_t spare) {
  const auto m = static_cast<uint32_t>(from.size());
  std::vector<bool> placed(m, false);
  std::vector<uint8_t> held(spare == SlotSet::kNone ? record_size_ : 0);
  for (uint32_t start = 0; start < m; ++start) {
    if (placed[start] || from[start] == first + start) continue;
    const uint32_t out = first + start;
    if (spare != SlotSet::kNone) {
      moveRecord(out, spare);
    } else {
      holdOut(out, held);
    }
    uint32_t k = start;
    while (from[k] != out) {
      moveRecord(from[k], first + k);
      placed[k] = true;
      k = from[k] - first;
    }
    if (spare != SlotSet::kNone) {
      moveRecord(spare, first + k);
    } else {
      holdIn(held, first + k);
    }
    placed[k] = true;
  }
}

// The status word of a slot as the slot index knows it: read from the file only for the rare
// statuses other than 0, 5 and 10.
int32_t TableHandle::indexedStatus(uint32_t slot) const {
  const SlotIndex& index = slots();
  if (index.live().contains(slot)) return kStatusLive;
  if (index.deleted().contains(slot)) return kStatusDeleted;
  if (index.unused().contains(slot)) return kStatusUnused;
  return statusAt(slot);
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
  // only ever exchanged with an occupied neighbour). The statuses come from the slot index, not
  // from a read of every record's page.
  const SlotSet& occupied_set = slots().occupiedSlots();
  std::vector<uint32_t> occupied;
  occupied.reserve(occupied_set.count());
  for (uint32_t s = occupied_set.next(0); s != SlotSet::kNone; s = occupied_set.next(s + 1)) {
    occupied.push_back(s);
  }
  const uint32_t end = occupied.empty() ? 0 : occupied.back() + 1;
  std::vector<int32_t> before(end);
  for (uint32_t s = 0; s < end; ++s) before[s] = indexedStatus(s);
  // source[s] := the slot whose record is now in s.
  std::vector<uint32_t> source(capacity_);
  std::iota(source.begin(), source.end(), 0);
  // Most of the records are about to be written: fault their pages in, writable, in one call
  // rather than one fault at a time (a kernel without this does it the slow way).
  (void)madvise(base_, std::min<uint64_t>(record_area_ + uint64_t{end} * record_size_, map_size_),
                MADV_POPULATE_WRITE);
  // Each run goes through the lowest free slot, which gets its own bytes back at the end.
  const uint32_t spare = spareSlot();
  std::vector<uint8_t> spare_bytes(spare != SlotSet::kNone ? record_size_ : 0);
  if (spare != SlotSet::kNone) std::memcpy(spare_bytes.data(), slotAddress(spare), record_size_);
  const auto m = static_cast<uint32_t>(occupied.size());
  for (uint32_t i = 0; i < m;) {
    uint32_t j = i + 1;
    while (j < m && occupied[j] == occupied[j - 1] + 1) ++j;
    const uint32_t run = occupied[i];
    const std::vector<uint32_t> run_slots(occupied.begin() + i, occupied.begin() + j);
    const std::vector<uint32_t> order = sortOrder(run_slots, column, *collation);
    std::vector<uint32_t> from(j - i);
    for (uint32_t k = 0; k < j - i; ++k) from[k] = run + order[k];
    placeRecords(run, from, spare);
    for (uint32_t k = 0; k < j - i; ++k) {
      source[run + k] = from[k];
      slots().change(run + k, before[run + k], before[from[k]]);
    }
    i = j;
  }
  if (spare != SlotSet::kNone) {
    std::memcpy(slotAddress(spare) + kStatusSize, spare_bytes.data() + kStatusSize,
                record_size_ - kStatusSize);
    storeStatusWord(spare, static_cast<int32_t>(loadU32(spare_bytes.data())));
  }
  journal_.end();
  rekeyColumnIndexes(source);
  dirty_ = true;
  recount();
  return 1;
}

}  // namespace tunora::marlbase

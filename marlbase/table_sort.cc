// Sorting a table by one column: a stable sort of the occupied records by the column's text
// (integers as their decimal text) in the collation of collation.h, packed into the lowest slots.
//
// Equal values keep their order, as an exchange sort of neighbours would leave them. The records
// are ordered by precomputed sort keys and then moved into place, each once, one whole,
// journalled move at a time into a free slot (or, on a table with no free slot, through the
// journal's held record), so that after a kill part-way every record is there exactly once. The
// bytes are those of a compaction followed by the sort of the packed records.
#include <sys/mman.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "marlbase/collation.h"
#include "marlbase/table_handle.h"

namespace tunora::marlbase {

namespace {

// Numbers distinct texts in the order they are first seen. The texts are copied into one block,
// so that telling two apart reads nearby memory rather than a record far away in the table, and
// the numbers are found by hash in an open-addressed table.
class DistinctTexts {
 public:
  uint32_t idOf(std::string_view text) {
    if ((size_t{count()} + 1) * 2 > table_.size()) grow();
    const uint64_t hash = std::hash<std::string_view>{}(text);
    const size_t mask = table_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Entry& e = table_[i];
      if (e.id == kNone) {
        e = {hash, count()};
        chars_.append(text);
        ends_.push_back(chars_.size());
        return e.id;
      }
      if (e.hash == hash && this->text(e.id) == text) return e.id;
    }
  }
  uint32_t count() const { return static_cast<uint32_t>(ends_.size() - 1); }
  std::string_view text(uint32_t id) const {
    return std::string_view(chars_).substr(ends_[id], ends_[id + 1] - ends_[id]);
  }

 private:
  static constexpr uint32_t kNone = 0xFFFF'FFFF;
  struct Entry {
    uint64_t hash = 0;
    uint32_t id = kNone;
  };
  void grow() {
    std::vector<Entry> old(std::max<size_t>(table_.size() * 2, 4096));
    old.swap(table_);
    const size_t mask = table_.size() - 1;
    for (const Entry& e : old) {
      if (e.id == kNone) continue;
      size_t i = e.hash & mask;
      while (table_[i].id != kNone) i = (i + 1) & mask;
      table_[i] = e;
    }
  }
  std::vector<Entry> table_;
  std::string chars_;
  std::vector<size_t> ends_{0};
};

}  // namespace

// The order of the records in `slots` by the column: order[k] = the index in `slots` of the
// record that goes k-th.
std::vector<uint32_t> TableHandle::sortOrder(const std::vector<uint32_t>& slots, int32_t column,
                                             const Collation& collation) const {
  const auto m = static_cast<uint32_t>(slots.size());
  const uint32_t type = column_types_[column - 1];
  // Equal texts have equal sort keys: each distinct text's key is made once, the distinct keys
  // are ranked, and the records are counted into place by their text's rank, which keeps equal
  // ones in slot order, as a stable sort by key would.
  DistinctTexts distinct;
  std::vector<uint32_t> text_of(m);
  // Records lie a whole record apart, so each field read waits for memory: the field of the
  // record a few places ahead is asked for while this one is read.
  constexpr uint32_t kAhead = 8;
  for (uint32_t s = 0; s < m; ++s) {
    if (s + kAhead < m) __builtin_prefetch(fieldAddress(slots[s + kAhead], column));
    const uint8_t* field = fieldAddress(slots[s], column);
    if (isTextType(type)) {
      const auto* chars = reinterpret_cast<const char*>(field);
      text_of[s] = distinct.idOf(std::string_view(chars, strnlen(chars, fieldWidth(type) - 1)));
    } else {
      const uint32_t value = type == 0   ? field[0]
                             : type == 1 ? (uint32_t{field[0]} | uint32_t{field[1]} << 8)
                                         : loadU32(field);
      char decimal[12];
      const char* end = std::to_chars(decimal, decimal + sizeof decimal, value).ptr;
      text_of[s] = distinct.idOf(std::string_view(decimal, static_cast<size_t>(end - decimal)));
    }
  }
  const uint32_t n = distinct.count();
  std::vector<std::string> keys(n);
  for (uint32_t d = 0; d < n; ++d) keys[d] = collation.sortKey(distinct.text(d));
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

// Moves the record now in slot from[k] into slot first + k, for every k. A slot of the range that
// no record comes from is free: the record for it moves in, which frees the slot it left, and so
// on along the chain until the freed slot lies outside the range. What remains are the
// permutation's cycles, each of which goes through `spare`, a free slot outside them (its bytes
// are the caller's to restore), or, when it is kNone, through the journal's held record: the
// cycle's first record moves out to the spare, the cycle is walked, and the spare's record goes
// into the slot the cycle frees last.
void TableHandle::placeRecords(uint32_t first, const std::vector<uint32_t>& from, uint32_t spare) {
  const auto m = static_cast<uint32_t>(from.size());
  const auto inRange = [&](uint32_t slot) { return slot >= first && slot - first < m; };
  // The next move's record lies anywhere in the table: it is asked for while this one is copied.
  const auto prefetchRecord = [&](uint32_t slot) {
    const uint8_t* bytes = slotAddress(slot);
    for (uint32_t at = 0; at < record_size_; at += 64) __builtin_prefetch(bytes + at);
  };
  std::vector<bool> placed(m, false);
  std::vector<bool> is_source(m, false);
  for (uint32_t k = 0; k < m; ++k) {
    if (inRange(from[k])) is_source[from[k] - first] = true;
  }
  for (uint32_t start = 0; start < m; ++start) {
    if (is_source[start]) continue;
    for (uint32_t k = start;;) {
      if (inRange(from[k])) prefetchRecord(from[from[k] - first]);
      moveRecord(from[k], first + k);
      placed[k] = true;
      if (!inRange(from[k])) break;
      k = from[k] - first;
    }
  }
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
      prefetchRecord(from[from[k] - first]);
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
  // Without its journal a kill could leave a record twice or lose one: no sort then.
  if (!journal_.begin(path_, record_size_, capacity_)) return 0;

  // The occupied records end in slots 0 .. m-1 in their sorted order, each moved once, with the
  // bytes a compaction followed by a sort of the packed records would leave. While the compaction
  // hold is raised they stay where they are, in several runs, and each run is sorted on its own
  // (records are only ever exchanged with an occupied neighbour). The statuses come from the
  // slot index, not from a read of every record's page.
  const SlotSet& occupied_set = slots().occupiedSlots();
  std::vector<uint32_t> occupied;
  occupied.reserve(occupied_set.count());
  for (uint32_t s = occupied_set.next(0); s != SlotSet::kNone; s = occupied_set.next(s + 1)) {
    occupied.push_back(s);
  }
  const auto m = static_cast<uint32_t>(occupied.size());
  const uint32_t last = occupied.back();
  const bool pack = compaction_hold_ == 0;
  std::vector<int32_t> before(size_t{last} + 1);
  for (uint32_t s = 0; s <= last; ++s) before[s] = indexedStatus(s);
  // Every record's page is read (its sort field) and then written: the pages are faulted in for
  // reading in one call now and made writable in one call once the order is known, rather than
  // one fault at a time (a kernel without this does it the slow way). Faulting them in writable
  // before the reads made the reads slow on a machine where the open had not read the pages (a
  // library with its index cache): 0.35 s instead of 0.15 s at 100,000 songs.
  const auto touched = static_cast<size_t>(
      std::min<uint64_t>(record_area_ + uint64_t{last + 1} * record_size_, map_size_));
  (void)madvise(base_, touched, MADV_POPULATE_READ);
  // The cycles go through the lowest free slot. When the records are packed down that is slot m,
  // free once the records above m - 1 have moved, and the copies below overwrite it; otherwise it
  // gets its own bytes back at the end.
  const bool copies = pack && last >= m;
  const uint32_t spare = copies ? m : spareSlot();
  std::vector<uint8_t> spare_bytes(spare != SlotSet::kNone && !copies ? record_size_ : 0);
  if (!spare_bytes.empty()) std::memcpy(spare_bytes.data(), slotAddress(spare), record_size_);
  // source[s] := the slot whose record is now in s.
  std::vector<uint32_t> source(capacity_);
  std::iota(source.begin(), source.end(), 0);
  // Each run's order first (run k's records go into slots runs[k].first on, from runs[k].second),
  // then the moves.
  std::vector<std::pair<uint32_t, std::vector<uint32_t>>> runs;
  for (uint32_t i = 0; i < m;) {
    uint32_t j = i + 1;
    while (j < m && (pack || occupied[j] == occupied[j - 1] + 1)) ++j;
    const std::vector<uint32_t> run_slots(occupied.begin() + i, occupied.begin() + j);
    const std::vector<uint32_t> order = sortOrder(run_slots, column, *collation);
    std::vector<uint32_t> from(j - i);
    for (uint32_t k = 0; k < j - i; ++k) from[k] = run_slots[order[k]];
    runs.emplace_back(pack ? 0 : occupied[i], std::move(from));
    i = j;
  }
  (void)madvise(base_, touched, MADV_POPULATE_WRITE);
  for (const auto& [first, from] : runs) {
    placeRecords(first, from, spare);
    for (uint32_t k = 0; k < from.size(); ++k) source[first + k] = from[k];
  }
  if (!spare_bytes.empty()) {
    std::memcpy(slotAddress(spare) + kStatusSize, spare_bytes.data() + kStatusSize,
                record_size_ - kStatusSize);
    storeStatusWord(spare, static_cast<int32_t>(loadU32(spare_bytes.data())));
  }
  // The packing leaves the free slots the last record passed through holding copies of it, as
  // its moves one step at a time down to slot m - 1 would. These slots are free already, so the
  // order of these writes does not matter to a reader.
  if (copies) {
    uint32_t now_at = 0;
    while (source[now_at] != last) ++now_at;
    for (uint32_t s = m; s <= last; ++s) {
      std::memcpy(slotAddress(s) + kStatusSize, slotAddress(now_at) + kStatusSize,
                  record_size_ - kStatusSize);
      storeStatusWord(s, kStatusDeleted);
      crashPoint();
    }
  }
  journal_.end();
  for (uint32_t s = 0; s <= last; ++s) {
    const int32_t now = copies && s >= m ? kStatusDeleted : before[source[s]];
    slots().change(s, before[s], now);
  }
  rekeyColumnIndexes(source);
  dirty_ = true;
  recount();
  return 1;
}

}  // namespace tunora::marlbase

// Sorting a table by one column: a stable sort of the occupied records by the column's text
// (integers as their decimal text) in the collation of collation.h, packed into the lowest slots.
//
// Equal values keep their order, as an exchange sort of neighbours would leave them. The records
// are ordered by precomputed sort keys, written in their new order into the sort image beside the
// table, and the image into the table (sort_image.h), so that after a kill part-way every record
// is there exactly once. A table with no room for the image beside it has its records moved into
// place through the move journal instead. Either way the bytes are those of a compaction followed
// by the sort of the packed records.
#include <sys/mman.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <numeric>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "marlbase/collation.h"
#include "marlbase/sort_image.h"
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

// The rank of each occupied record's field among the column's distinct values in the collation:
// rank[i] for the record in slot occupied[i]; equal values, equal ranks. The fields come from one
// sequential read of the table, which also shows `each_slot` every slot from the first occupied
// one to the last. Empty when the table cannot be read.
std::vector<uint32_t> TableHandle::sortRanks(
    const std::vector<uint32_t>& occupied, int32_t column, const Collation& collation,
    const std::function<void(uint32_t, const uint8_t*)>& each_slot) const {
  const size_t m = occupied.size();
  const uint32_t type = column_types_[column - 1];
  const uint32_t offset = column_offsets_[column - 1] - record_area_;
  // Equal texts have equal sort keys: each distinct text's key is made once and the distinct
  // keys are ranked.
  DistinctTexts distinct;
  std::vector<uint32_t> text_of(m);
  size_t next = 0;
  const bool read = scanSlots(
      layout(), occupied.front(), occupied.back(),
      [&](uint32_t first, uint32_t count, const uint8_t* bytes) {
        for (uint32_t i = 0; i < count; ++i) each_slot(first + i, bytes + size_t{i} * record_size_);
        for (; next < m && occupied[next] - first < count; ++next) {
          const uint8_t* field = bytes + size_t{occupied[next] - first} * record_size_ + offset;
          if (isTextType(type)) {
            const auto* chars = reinterpret_cast<const char*>(field);
            text_of[next] =
                distinct.idOf(std::string_view(chars, strnlen(chars, fieldWidth(type) - 1)));
          } else {
            const uint32_t value = type == 0   ? field[0]
                                   : type == 1 ? (uint32_t{field[0]} | uint32_t{field[1]} << 8)
                                               : loadU32(field);
            char decimal[12];
            const char* end = std::to_chars(decimal, decimal + sizeof decimal, value).ptr;
            text_of[next] =
                distinct.idOf(std::string_view(decimal, static_cast<size_t>(end - decimal)));
          }
        }
        return true;
      });
  if (!read) return {};
  const uint32_t n = distinct.count();
  // The distinct texts' keys side by side, ordered by their first 8 bytes (big-endian, so that
  // integers compare as the bytes do) and only then by the whole key.
  std::string arena;
  std::vector<uint32_t> key_end(size_t{n} + 1, 0);
  struct Keyed {
    uint64_t prefix;
    uint32_t id;
  };
  std::vector<Keyed> keyed(n);
  for (uint32_t d = 0; d < n; ++d) {
    const std::string key = collation.sortKey(distinct.text(d));
    uint8_t head[8] = {};
    std::memcpy(head, key.data(), std::min<size_t>(8, key.size()));
    uint64_t prefix = 0;
    for (const uint8_t byte : head) prefix = prefix << 8 | byte;
    keyed[d] = {prefix, d};
    arena += key;
    key_end[d + 1] = static_cast<uint32_t>(arena.size());
  }
  const auto keyOf = [&](uint32_t d) {
    return std::string_view(arena).substr(key_end[d], key_end[d + 1] - key_end[d]);
  };
  const auto less = [&](const Keyed& a, const Keyed& b) {
    return a.prefix != b.prefix ? a.prefix < b.prefix : keyOf(a.id) < keyOf(b.id);
  };
  std::sort(keyed.begin(), keyed.end(), less);
  std::vector<uint32_t> rank(n);
  uint32_t ranks = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (i > 0 && less(keyed[i - 1], keyed[i])) ++ranks;
    rank[keyed[i].id] = ranks;
  }
  for (uint32_t& t : text_of) t = rank[t];
  return text_of;
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

  // The occupied records end in slots 0 .. m-1 in their sorted order, with the bytes a compaction
  // followed by a sort of the packed records would leave. While the compaction hold is raised
  // they stay where they are, in several runs, and each run is sorted on its own (records are
  // only ever exchanged with an occupied neighbour). The statuses come from the slot index, not
  // from a read of every record's page.
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
  // When the records are packed down, the free slots m .. last they passed over get the copies
  // of the last record a compaction leaves.
  const bool copies = pack && last >= m;
  const uint32_t first = pack ? 0 : occupied[0];
  // The read for the keys gives the image every record the sort moves: the occupied ones when
  // packing, else every slot from the first run's start on.
  SortImageWriter image;
  bool imaging = image.begin(path_, layout(), first, (copies ? m : last + 1) - first,
                             copies ? last - m + 1 : 0);
  const std::vector<uint32_t> rank =
      sortRanks(occupied, column, *collation, [&](uint32_t slot, const uint8_t* bytes) {
        if (imaging && (!pack || before[slot] > kHighestFreeStatus)) {
          imaging = image.keep(slot, bytes);
        }
      });
  if (rank.empty()) return 0;

  // Each run's records by rank, equal ranks in slot order: a counting sort of all the records
  // by rank, dealt out to their runs. Run k's records go into the slots from runs[k].first on.
  std::vector<uint32_t> first_of_rank(size_t{*std::max_element(rank.begin(), rank.end())} + 2, 0);
  for (const uint32_t r : rank) ++first_of_rank[r + 1];
  for (size_t r = 1; r < first_of_rank.size(); ++r) first_of_rank[r] += first_of_rank[r - 1];
  std::vector<uint32_t> by_rank(m);
  for (uint32_t i = 0; i < m; ++i) by_rank[first_of_rank[rank[i]]++] = i;
  std::vector<uint32_t> run_of(m, 0);
  std::vector<SortRun> runs{{first, {}}};
  for (uint32_t i = 1; i < m; ++i) {
    if (!pack && occupied[i] != occupied[i - 1] + 1) runs.push_back({occupied[i], {}});
    run_of[i] = static_cast<uint32_t>(runs.size() - 1);
  }
  for (const uint32_t i : by_rank) runs[run_of[i]].from.push_back(occupied[i]);

  // source[s] := the slot whose record ends in s.
  std::vector<uint32_t> source(capacity_);
  std::iota(source.begin(), source.end(), 0);
  for (const SortRun& run : runs) {
    for (uint32_t k = 0; k < run.from.size(); ++k) source[run.first + k] = run.from[k];
  }
  SortPlan plan;
  plan.first = first;
  plan.from.assign(source.begin() + plan.first, source.begin() + (copies ? m : last + 1));
  plan.copies = copies ? last - m + 1 : 0;
  plan.copy_of = last;
  const TableLayout table = layout();
  if (imaging && image.finish(plan, crash_point_)) {
    if (applySortImage(path_, table, crash_point_) != ImageApplied::kApplied) {
      // Half written: no more writes through this handle; the next open finishes the sort.
      changed_on_disk_ = true;
      return 0;
    }
  } else if (!moveIntoOrder(runs, plan)) {
    return 0;
  }
  for (uint32_t s = 0; s <= last; ++s) {
    const int32_t now = copies && s >= m ? kStatusDeleted : before[source[s]];
    slots().change(s, before[s], now);
  }
  rekeyColumnIndexes(source);
  dirty_ = true;
  recount();
  return 1;
}

// The sort without an image, for a table with no room beside it: each record moved once into
// its final slot, one whole, journalled move at a time into a free slot (or, on a table with no
// free slot, through the journal's held record), so that after a kill part-way every record is
// there exactly once. False when the journal cannot be had (nothing is moved then).
bool TableHandle::moveIntoOrder(const std::vector<SortRun>& runs, const SortPlan& plan) {
  if (!journal_.begin(path_, record_size_, capacity_)) return false;
  const auto touched = static_cast<size_t>(
      std::min<uint64_t>(record_area_ + uint64_t{plan.copy_of + 1} * record_size_, map_size_));
  (void)madvise(base_, touched, MADV_POPULATE_WRITE);
  // The cycles go through the lowest free slot. When the records are packed down with copies
  // that is slot m, free once the records above m - 1 have moved, and the copies below
  // overwrite it; otherwise it gets its own bytes back at the end.
  const auto m = static_cast<uint32_t>(plan.from.size());
  const uint32_t spare = plan.copies > 0 ? m : spareSlot();
  std::vector<uint8_t> spare_bytes(spare != SlotSet::kNone && plan.copies == 0 ? record_size_ : 0);
  if (!spare_bytes.empty()) std::memcpy(spare_bytes.data(), slotAddress(spare), record_size_);
  for (const SortRun& run : runs) placeRecords(run.first, run.from, spare);
  if (!spare_bytes.empty()) {
    std::memcpy(slotAddress(spare) + kStatusSize, spare_bytes.data() + kStatusSize,
                record_size_ - kStatusSize);
    storeStatusWord(spare, static_cast<int32_t>(loadU32(spare_bytes.data())));
  }
  // The copies: these slots are free already, so the order of these writes does not matter to
  // a reader.
  const uint32_t now_at =
      plan.copies > 0
          ? static_cast<uint32_t>(std::find(plan.from.begin(), plan.from.end(), plan.copy_of) -
                                  plan.from.begin())
          : 0;
  for (uint32_t s = m; s < m + plan.copies; ++s) {
    std::memcpy(slotAddress(s) + kStatusSize, slotAddress(now_at) + kStatusSize,
                record_size_ - kStatusSize);
    storeStatusWord(s, kStatusDeleted);
    crashPoint();
  }
  journal_.end();
  return true;
}

}  // namespace tunora::marlbase

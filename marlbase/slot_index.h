// SlotIndex: which slots of a table are unused (status 0), deleted (5), live (10) or something
// else, and which are occupied (status above 9), kept current by every status change so that
// walks, lookups and allocations need no scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "marlbase/format.h"
#include "marlbase/slot_set.h"

namespace tunora::marlbase {

class SlotIndex {
 public:
  // Empties the index for a table of `capacity` slots. Then add each slot's status with
  // bulkAdd and call finishBulk.
  void reset(uint32_t capacity);
  void bulkAdd(uint32_t slot, int32_t status);
  void finishBulk();
  // The five sets' words one after another (unused, deleted, live, other, occupied), as the
  // index cache stores them, and loading them back into an index of `capacity` slots. The load
  // fails (leaving the index empty) when the sets do not fit together: a slot in none or in two of
  // the status sets, an occupied slot that is unused, deleted or not live-or-other.
  std::vector<uint64_t> saveWords() const;
  static size_t wordCount(uint32_t capacity) { return 5 * ((size_t{capacity} + 63) / 64); }
  bool loadWords(uint32_t capacity, std::span<const uint64_t> words);
  // Adds slots up to `capacity`, all with the given status. (A shrink rebuilds the index.)
  void grow(uint32_t capacity, int32_t new_slots_status);
  // Records that a slot's status changed.
  void change(uint32_t slot, int32_t old_status, int32_t new_status);
  // Records a slot's status, whatever it was.
  void assign(uint32_t slot, int32_t status);

  uint32_t capacity() const { return live_.size(); }
  // Slots with status above 9: the slots the lookups examine and the maintenance counts.
  uint32_t occupied() const { return occupied_.count(); }
  const SlotSet& occupiedSlots() const { return occupied_; }
  const SlotSet& live() const { return live_; }
  const SlotSet& unused() const { return unused_; }
  const SlotSet& deleted() const { return deleted_; }
  // Slots whose status is not 0, 5 or 10.
  const SlotSet& other() const { return other_; }

 private:
  SlotSet& setFor(int32_t status);

  SlotSet unused_;
  SlotSet deleted_;
  SlotSet live_;
  SlotSet other_;
  SlotSet occupied_;
};

}  // namespace tunora::marlbase

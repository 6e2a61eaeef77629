// The index cache's delta file ("<table>.index.delta"): what changed in the table since the state
// the cache file describes, so that a writer's close writes what it changed instead of the whole
// cache. It names the cache file it applies to and the table state it leads to; the cache file is
// used only together with a delta that names it (an empty one after a whole cache is written).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "marlbase/index_cache_key.h"

namespace tunora::marlbase {

inline std::string indexDeltaPathFor(const std::string& table_path) {
  return table_path + ".index.delta";
}

struct IndexDelta {
  uint64_t base_id = 0;  // the cache file's header checksum
  IndexCacheKey key;     // the table state the cache file and the delta describe together
  int32_t live_count = 0;
  // The slots whose status or fields changed since the cache file's state, ascending, each
  // with its status now.
  std::vector<uint32_t> slots;
  std::vector<int32_t> statuses;
  // The cache file's columns the delta covers, ascending, and for each of them the lookup key of
  // every slot above (0 for a slot not occupied): keys[c * slots.size() + i].
  std::vector<int32_t> columns;
  std::vector<uint64_t> keys;
};

std::vector<uint8_t> encodeIndexDelta(const IndexDelta& delta);
// False when the bytes are not a whole delta that checks out (its checksum, its sizes, slots
// ascending below the capacity, columns ascending from 1 to the column count).
bool decodeIndexDelta(std::span<const uint8_t> bytes, IndexDelta& delta);

}  // namespace tunora::marlbase

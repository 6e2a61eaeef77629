// A walk over the live slots a few places ahead of a scan. Records lie a whole record apart, so
// each field read waits for memory: a scan hands each slot the walk reaches to `prefetch`, which
// asks the processor for the fields the scan will read there, while it reads the current record.
#pragma once

#include <cstdint>

#include "marlbase/table_handle.h"

namespace tunora::maintenance {

template <typename Prefetch>
class LiveLookahead {
 public:
  static constexpr int kAhead = 8;

  // Starts at the live slots after `from` (the scan's current slot), kAhead of them.
  LiveLookahead(marlbase::TableHandle& table, int32_t from, Prefetch prefetch)
      : table_(table), ahead_(from), prefetch_(prefetch) {
    for (int i = 0; i < kAhead; ++i) step();
  }

  // One more live slot ahead, as the scan moves on by one.
  void step() {
    if (ahead_ < 0) return;
    const int32_t after = table_.nextLive(ahead_);
    ahead_ = after == ahead_ ? -1 : after;
    if (ahead_ >= 0) prefetch_(ahead_);
  }

 private:
  marlbase::TableHandle& table_;
  int32_t ahead_;
  Prefetch prefetch_;
};

}  // namespace tunora::maintenance

// The watchdog, run by the supervisor once per tick: it counts the ticks during which the lock
// is not free and, at fixed counts, frees what nobody will free: a grant that no live holder has
// (handed to a worker that had left, or whose holder has ended), a request that nobody takes, a
// spin guard left taken by a taker outside a scope. A grant whose holder is still at work is
// never freed: holders release on every path, and one that works long ends early when the
// request word is set.
//
// Counts: 25 the stale-grant check (a grant of 30, the import, parks the counter at 1000);
// 101..109 a stuck spin guard or an abandoned grant; above 200 an abandoned grant or, failing
// that, the waiting request (never a quit code); above 1000 parked, above 2000 back to 26.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "engine/lock_codes.h"
#include "engine/shared_words.h"
#include "util/env.h"

namespace tunora::engine {

// Per worker code, a check that tells whether the worker that takes that code is idle (the
// checksum pass no longer running, the search window not busy, the details dialog's work state
// back to 0). The later parts fill in codes 25, 26 and 36.
struct StaleGrantChecks {
  std::array<std::function<bool()>, kEndOfWorkerCodes> worker_idle{};
};

struct WatchdogEvent {
  enum class Kind {
    kNone,
    kStaleGrantCleared,  // at 25: an idle worker's grant without a live holder
    kGrantCleared,       // at 101..109 or above 200: a grant without a live holder
    kRequestDropped,     // above 200: a request that nobody took
    kGuardFreed,         // at 101..109: a spin guard taken outside a scope
  };
  Kind kind = Kind::kNone;
  int32_t code = 0;  // the cleared grant or request code
};

// One tick of the watchdog over `words`. Returns what it forced free, if anything.
WatchdogEvent watchdogTick(SharedWords& words, Env& env, const StaleGrantChecks& checks);

}  // namespace tunora::engine

// The spin guard: the one short critical section of the shared lock. Taken by atomic exchange,
// waited for by 1 ms sleeps through the Env, or (for the release of a grant, which must not wait
// on the clock) by blocking on the guard word until its holder lets go and wakes the waiters.
// A section under the guard is a few instructions and never waits; every scope releases its
// guard, so a blocked taker is always woken.
#pragma once

#include "engine/shared_words.h"
#include "util/env.h"

namespace tunora::engine {

class SpinGuardScope {
 public:
  // How the taker waits between tries.
  // kSleep1ms: sleep 1 ms through the Env between tries. kBlock: block until the guard word
  // changes (woken by the release). kRetry: try again at once (for a bounded number of tries by a
  // taker that would rather come back later than wait).
  enum class Wait { kSleep1ms, kBlock, kRetry };

  // Tries to take the guard `tries` times (0: until it is taken or the program stops), waiting
  // between tries as `wait` says. held() tells whether it was taken.
  SpinGuardScope(SharedWords& words, Env& env, int tries = 0, Wait wait = Wait::kSleep1ms);
  // Releases the guard when this scope holds it, and wakes the takers blocked on it.
  ~SpinGuardScope();
  SpinGuardScope(const SpinGuardScope&) = delete;
  SpinGuardScope& operator=(const SpinGuardScope&) = delete;

  bool held() const { return held_; }

 private:
  SharedWords& words_;
  bool held_ = false;
};

}  // namespace tunora::engine

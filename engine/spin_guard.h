// The spin guard: the one short critical section of the shared lock. Taken by atomic exchange;
// a taker that finds it held by a scope blocks on the guard word until the holder lets go and
// wakes the waiters. A section under the guard is a few instructions and never waits; every
// scope releases its guard, so a blocked taker is always woken.
#pragma once

#include "engine/shared_words.h"
#include "util/env.h"

namespace tunora::engine {

class SpinGuardScope {
 public:
  // How the taker waits between tries.
  // kWait: block until a scope's guard is released; a guard taken outside any scope (only the
  // watchdog frees that one, a minute and more later) is waited for by 1 ms sleeps through the
  // Env instead, so that the taker still sees the program stop. kBlock: block until the guard
  // word changes, whoever holds it (for the release of a grant, which must not wait on the
  // clock). kRetry: try again at once (for a bounded number of tries by a taker that would
  // rather come back later than wait).
  enum class Wait { kWait, kBlock, kRetry };

  // Tries to take the guard `tries` times (0: until it is taken or the program stops), waiting
  // between tries as `wait` says. held() tells whether it was taken.
  SpinGuardScope(SharedWords& words, Env& env, int tries = 0, Wait wait = Wait::kWait);
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

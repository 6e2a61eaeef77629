// The spin guard: the one short critical section of the shared lock. Taken by atomic exchange,
// waited for by 1 ms sleeps through the Env (or by yielding, for the release of a grant, which
// must not wait on the clock). A section under the guard is a few instructions and never waits.
#pragma once

#include "engine/shared_words.h"
#include "util/env.h"

namespace tunora::engine {

class SpinGuardScope {
 public:
  // How the taker waits between tries.
  enum class Wait { kSleep1ms, kYield };

  // Tries to take the guard `tries` times (0: until it is taken or the program stops), waiting
  // between tries as `wait` says. held() tells whether it was taken.
  SpinGuardScope(SharedWords& words, Env& env, int tries = 0, Wait wait = Wait::kSleep1ms);
  // Releases the guard when this scope holds it.
  ~SpinGuardScope();
  SpinGuardScope(const SpinGuardScope&) = delete;
  SpinGuardScope& operator=(const SpinGuardScope&) = delete;

  bool held() const { return held_; }

 private:
  SharedWords& words_;
  bool held_ = false;
};

}  // namespace tunora::engine

// The spin guard.
#include "engine/spin_guard.h"

#include <chrono>

namespace tunora::engine {

SpinGuardScope::SpinGuardScope(SharedWords& words, Env& env, int tries, Wait wait) : words_(words) {
  for (int attempt = 1;; ++attempt) {
    int32_t expected = kGuardFree;
    if (words_.spin_guard.compare_exchange_strong(expected, kGuardTakenScoped)) {
      held_ = true;
      return;
    }
    if (tries > 0 && attempt >= tries) return;
    if (tries == 0 && words_.stopping.load() != 0) return;
    switch (wait) {
      // A scope lets go within a few instructions and wakes the waiters; a guard taken outside
      // a scope has no holder that would wake anyone.
      case Wait::kWait:
        if (expected == kGuardTakenScoped) {
          words_.spin_guard.wait(expected);
        } else {
          env.sleepFor(std::chrono::milliseconds(1));
        }
        break;
      // Returns at once when the word no longer holds what the exchange saw.
      case Wait::kBlock:
        words_.spin_guard.wait(expected);
        break;
      case Wait::kRetry:
        break;
    }
  }
}

SpinGuardScope::~SpinGuardScope() {
  if (!held_) return;
  words_.spin_guard.store(kGuardFree);
  words_.spin_guard.notify_all();
}

}  // namespace tunora::engine

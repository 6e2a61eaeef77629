// The spin guard.
#include "engine/spin_guard.h"

#include <chrono>
#include <thread>

namespace tunora::engine {

SpinGuardScope::SpinGuardScope(SharedWords& words, Env& env, int tries, Wait wait)
    : words_(words) {
  for (int attempt = 1;; ++attempt) {
    int32_t expected = kGuardFree;
    if (words_.spin_guard.compare_exchange_strong(expected, kGuardTakenScoped)) {
      held_ = true;
      return;
    }
    if (tries > 0 && attempt >= tries) return;
    if (tries == 0 && words_.stopping.load() != 0) return;
    if (wait == Wait::kSleep1ms) {
      env.sleepFor(std::chrono::milliseconds(1));
    } else {
      std::this_thread::yield();
    }
  }
}

SpinGuardScope::~SpinGuardScope() {
  if (held_) words_.spin_guard.store(kGuardFree);
}

}  // namespace tunora::engine

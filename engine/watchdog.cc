// The watchdog.
#include "engine/watchdog.h"

#include "engine/spin_guard.h"

namespace tunora::engine {

namespace {

constexpr int32_t kStaleCheckTick = 25;
constexpr int32_t kStuckFirstTick = 101;
constexpr int32_t kStuckLastTick = 109;
constexpr int32_t kAfterStuckCheck = 110;
constexpr int32_t kDropAfter = 200;
constexpr int32_t kParked = 1000;
constexpr int32_t kParkEnds = 2000;
constexpr int32_t kAfterPark = 26;
// The watchdog does not wait for the guard (nor on the clock): it tries again on a later tick.
constexpr int kGuardTries = 3;
constexpr auto kGuardWait = SpinGuardScope::Wait::kRetry;

// Clears the grant when no live holder has it. Under the spin guard, so that a worker cannot
// claim it at the same moment.
WatchdogEvent clearAbandonedGrant(SharedWords& words, Env& env, WatchdogEvent::Kind kind) {
  if (words.grant.load() == 0 || words.grant_holder_live.load() != 0) return {};
  SpinGuardScope guard(words, env, kGuardTries, kGuardWait);
  if (!guard.held()) return {};
  int32_t code = words.grant.load();
  if (code == 0 || words.grant_holder_live.load() != 0) return {};
  words.grant.store(0);
  return {kind, code};
}

WatchdogEvent dropWaitingRequest(SharedWords& words, Env& env) {
  SpinGuardScope guard(words, env, kGuardTries, kGuardWait);
  if (!guard.held()) return {};
  int32_t code = words.request.load();
  if (code == 0 || isQuitCode(code)) return {};
  words.request.store(0);
  return {WatchdogEvent::Kind::kRequestDropped, code};
}

}  // namespace

WatchdogEvent watchdogTick(SharedWords& words, Env& env, const StaleGrantChecks& checks) {
  if (words.request.load() == 0 && words.grant.load() == 0) {
    words.watchdog_counter.store(0);
    return {};
  }
  int32_t counter = words.watchdog_counter.fetch_add(1) + 1;
  if (counter == kStaleCheckTick) {
    int32_t code = words.grant.load();
    if (code == kCodeImport) {
      words.watchdog_counter.store(kParked);  // an import may run long
      return {};
    }
    if (isWorkerCode(code)) {
      const auto& idle = checks.worker_idle[static_cast<size_t>(code)];
      if (idle && idle()) {
        return clearAbandonedGrant(words, env, WatchdogEvent::Kind::kStaleGrantCleared);
      }
    }
    return {};
  }
  if (counter > kParked) {
    if (counter > kParkEnds) words.watchdog_counter.store(kAfterPark);
    return {};
  }
  if (counter > kDropAfter) {
    words.watchdog_counter.store(0);
    WatchdogEvent event = clearAbandonedGrant(words, env, WatchdogEvent::Kind::kGrantCleared);
    if (event.kind != WatchdogEvent::Kind::kNone) return event;
    return dropWaitingRequest(words, env);
  }
  if (counter >= kStuckFirstTick && counter <= kStuckLastTick) {
    words.watchdog_counter.store(kAfterStuckCheck);
    int32_t taken = kGuardTakenUnscoped;
    if (words.spin_guard.compare_exchange_strong(taken, kGuardFree)) {
      words.spin_guard.notify_all();
      return {WatchdogEvent::Kind::kGuardFreed, 0};
    }
    return clearAbandonedGrant(words, env, WatchdogEvent::Kind::kGrantCleared);
  }
  return {};
}

}  // namespace tunora::engine

// The shared lock: posting requests, waiting for grants, the handover and releasing.
#include "engine/shared_lock.h"

#include <chrono>

#include "engine/lock_codes.h"
#include "engine/spin_guard.h"

namespace tunora::engine {

namespace {

// Keeps the waiter count right on every return of postRequest.
class WaiterScope {
 public:
  explicit WaiterScope(std::atomic<int32_t>& count) : count_(count) { count_.fetch_add(1); }
  ~WaiterScope() { count_.fetch_sub(1); }
  WaiterScope(const WaiterScope&) = delete;
  WaiterScope& operator=(const WaiterScope&) = delete;

 private:
  std::atomic<int32_t>& count_;
};

constexpr int kPostWaitSteps = 20;
constexpr int kPostGuardTries = 3;
constexpr int kGrantWaitSteps = 50;
constexpr std::chrono::milliseconds kGrantWaitStep{100};

}  // namespace

Grant& Grant::operator=(Grant&& other) noexcept {
  if (this != &other) {
    release();
    lock_ = other.lock_;
    code_ = other.code_;
    other.code_ = 0;
  }
  return *this;
}

void Grant::release() {
  if (code_ == 0) return;
  lock_->releaseGrant(code_);
  code_ = 0;
}

int32_t SharedLock::postRequest(int32_t code, int32_t parameter, int32_t patience) {
  if (words_.stopping.load() != 0) return -1;
  if (words_.request.load() == code) return 1;
  WaiterScope waiter(words_.waiter_count);
  for (;;) {
    // Checked before every attempt, so that a patient caller does not keep trying into a quit.
    if (isQuitCode(words_.request.load()) || words_.grant.load() == code ||
        words_.stopping.load() != 0) {
      return -1;
    }
    if (code != kQuitRequested) {
      for (int step = 0; step < kPostWaitSteps && words_.request.load() != 0; ++step) {
        env_.sleepFor(std::chrono::milliseconds(patience * 8));
      }
    }
    bool posted = false;
    {
      SpinGuardScope guard(words_, env_, kPostGuardTries);
      if (guard.held()) {
        int32_t current = words_.request.load();
        bool quit_under_way = current == kQuitInProgress || current == kQuitFinal;
        if (!quit_under_way && (current == 0 || current == code || code == kQuitRequested)) {
          words_.request.store(code);
          words_.request_parameter.store(parameter);
          posted = true;
        }
      }
    }
    if (posted) return 1;
    if (patience >= 5) return -1;
  }
}

int32_t SharedLock::tryPostRequest(int32_t code, int32_t parameter) {
  if (words_.stopping.load() != 0) return -1;
  if (words_.request.load() == code) return 1;
  if (words_.request.load() != 0 || words_.grant.load() == code) return -1;
  WaiterScope waiter(words_.waiter_count);
  SpinGuardScope guard(words_, env_, kPostGuardTries);
  if (!guard.held() || words_.request.load() != 0) return -1;
  words_.request.store(code);
  words_.request_parameter.store(parameter);
  return 1;
}

int32_t SharedLock::postOrDefer(int32_t code, int32_t parameter) {
  if (tryPostRequest(code, parameter) == 1) return 1;
  if (words_.stopping.load() != 0 || isQuitCode(words_.request.load())) return -1;
  std::lock_guard lock(deferred_mu_);
  deferred_ = {code, parameter,
               env_.nowMillis() + static_cast<uint64_t>(kDeferredPatience.count())};
  return 0;
}

void SharedLock::postDeferred() {
  Deferred kept;
  {
    std::lock_guard lock(deferred_mu_);
    if (deferred_.code == 0) return;
    if (words_.stopping.load() != 0 || isQuitCode(words_.request.load()) ||
        env_.nowMillis() > deferred_.until) {
      deferred_ = {};
      return;
    }
    if (words_.request.load() != 0) return;
    kept = deferred_;
  }
  // Posted without the kept request's mutex held (the guard may sleep): it is cleared only when
  // the window has not kept a newer one meanwhile.
  if (tryPostRequest(kept.code, kept.parameter) != 1) return;
  std::lock_guard lock(deferred_mu_);
  if (deferred_.code == kept.code && deferred_.parameter == kept.parameter &&
      deferred_.until == kept.until) {
    deferred_ = {};
  }
}

bool SharedLock::hasDeferred() const {
  std::lock_guard lock(deferred_mu_);
  return deferred_.code != 0;
}

Grant SharedLock::requestAndWait(int32_t code, int32_t parameter, int32_t patience) {
  if (words_.stopping.load() != 0) return {};
  if (claimGrant(code, false)) return Grant(this, code);
  if (isQuitCode(words_.request.load())) return {};
  if (patience > 10 && (words_.request.load() != 0 || words_.grant.load() != 0)) {
    env_.sleepFor(std::chrono::seconds(patience - 10));
  }
  if (postRequest(code, parameter, patience) != 1) return {};
  for (int sleeps = 1;; ++sleeps) {
    env_.sleepFor(kGrantWaitStep);
    if (claimGrant(code, false)) return Grant(this, code);
    if (words_.stopping.load() != 0) break;
    if (patience > 4 && sleeps > kGrantWaitSteps) break;
    if (words_.request.load() != code) break;  // handed over to another, taken over or dropped
  }
  // Giving up: a grant that arrived at this last moment is still taken; otherwise the request
  // is withdrawn, so that no grant is later handed to a worker that has left.
  if (claimGrant(code, true)) return Grant(this, code);
  return {};
}

void SharedLock::releaseRequest() {
  SpinGuardScope guard(words_, env_);
  int32_t current = words_.request.load();
  if (current != 0) words_.last_released.store(current);
  words_.request.store(0);
}

Handover SharedLock::handOver() {
  Handover result;
  SpinGuardScope guard(words_, env_);
  if (!guard.held()) return result;
  int32_t code = words_.request.load();
  if (code == 0 || isQuitCode(code) || words_.grant.load() != 0) return result;
  result.parameter = words_.request_parameter.load();
  result.code = code;
  words_.grant.store(code);
  // A worker code waits for its worker to claim it; any other code is the executor's own.
  bool executor_holds = !isWorkerCode(code);
  words_.grant_holder_live.store(executor_holds ? 1 : 0);
  words_.last_released.store(code);
  words_.request.store(0);
  if (executor_holds) result.grant = Grant(this, code);
  return result;
}

Grant SharedLock::takeGrantDirectly(int32_t code) {
  SpinGuardScope guard(words_, env_);
  if (!guard.held() || words_.grant.load() != 0) return {};
  words_.grant.store(code);
  words_.grant_holder_live.store(1);
  return Grant(this, code);
}

bool SharedLock::claimGrant(int32_t code, bool withdraw) {
  if (!withdraw && words_.grant.load() != code) return false;  // cheap look before the guard
  SpinGuardScope guard(words_, env_);
  if (!guard.held()) return false;
  if (words_.grant.load() == code && words_.grant_holder_live.load() == 0) {
    words_.grant_holder_live.store(1);
    return true;
  }
  if (withdraw && words_.request.load() == code) words_.request.store(0);
  return false;
}

void SharedLock::releaseGrant(int32_t code) {
  // Blocks until the guard is free: a holder must be able to let go without waiting on the clock.
  SpinGuardScope guard(words_, env_, 0, SpinGuardScope::Wait::kBlock);
  // Without the guard only when the program stops, when no grant is handed out any more.
  if (words_.grant.load() == code && (guard.held() || words_.stopping.load() != 0)) {
    words_.grant_holder_live.store(0);
    words_.grant.store(0);
  }
}

}  // namespace tunora::engine

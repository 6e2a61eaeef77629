// The request executor.
#include "engine/request_executor.h"

#include "engine/spin_guard.h"

namespace tunora::engine {

namespace {

// Clears the executor busy flag, under the spin guard, on every way out after it was set.
class BusyScope {
 public:
  BusyScope(SharedWords& words, Env& env) : words_(words), env_(env) {}
  ~BusyScope() {
    SpinGuardScope guard(words_, env_);
    words_.executor_busy.store(0);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  SharedWords& words_;
  Env& env_;
};

}  // namespace

void RequestExecutor::setHandler(int32_t code, ExecutorHandler handler) {
  if (!isExecutorCode(code)) return;
  handlers_[static_cast<size_t>(code)] = std::move(handler);
}

int32_t RequestExecutor::run() {
  SharedWords& words = lock_.words();
  int32_t waiting = words.request.load();
  if (words.grant.load() != 0 || waiting == kQuitRequested || waiting == kQuitInProgress) return 0;
  {
    SpinGuardScope guard(words, lock_.env());
    if (!guard.held() || words.executor_busy.exchange(1) == 1) return 0;
  }
  BusyScope busy(words, lock_.env());
  Handover handover = lock_.handOver();
  if (handover.code == 0 || isWorkerCode(handover.code)) return handover.code;
  if (isExecutorCode(handover.code)) {
    const ExecutorHandler& handler = handlers_[static_cast<size_t>(handover.code)];
    if (handler) handler(handover.parameter);
  }
  return handover.code;  // the grant is released as `handover` goes out of scope
}

}  // namespace tunora::engine

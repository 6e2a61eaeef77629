// The supervisor thread.
#include "engine/supervisor.h"

#include "engine/lock_codes.h"

namespace tunora::engine {

namespace {

constexpr std::chrono::milliseconds kTick{1000};
constexpr std::chrono::milliseconds kShortTick{50};
constexpr int32_t kSpinnerEnd = 100;

// Counts a word down by one, not below 0, against concurrent writers.
void countDown(std::atomic<int32_t>& word) {
  int32_t value = word.load();
  while (value > 0 && !word.compare_exchange_weak(value, value - 1)) {
  }
}

}  // namespace

void Supervisor::addWorker(std::function<bool()> wanted, std::function<void()> body,
                           WorkerNeeds needs) {
  auto worker = std::make_unique<Worker>();
  worker->wanted = std::move(wanted);
  worker->body = std::move(body);
  worker->needs = needs;
  workers_.push_back(std::move(worker));
}

bool Supervisor::workerRunning(size_t index) const {
  return index < workers_.size() && workers_[index]->busy.load() != 0;
}

bool Supervisor::start() {
  return threads_.start([this] { run(); });
}

std::chrono::milliseconds Supervisor::tickLength() const {
  const SharedWords& words = lock_.words();
  bool waiting = (words.request.load() != 0 || lock_.hasDeferred()) && words.grant.load() == 0;
  return waiting && words.playing.load() != 0 ? kShortTick : kTick;
}

void Supervisor::run() {
  status_.refresh();
  do {
    lock_.env().sleepFor(tickLength());
  } while (tick());
  if (lock_.words().stopping.load() == 0) finishQuit();
}

bool Supervisor::tick() {
  SharedWords& words = lock_.words();
  if (words.stopping.load() != 0) return false;
  (void)watchdogTick(words, lock_.env(), stale_checks_);
  countDown(words.user_digit_counter);
  countDown(words.alt_digit_counter);
  lock_.postDeferred();  // the window's request that found the lock busy
  // A worker that never touches the database does not wait for it: a cover shows within a tick
  // of its song's start while a build, an import or the checksum pass keeps the lock busy.
  if (words.playing.load() != 0) startLockFreeWorkers();

  int32_t request = words.request.load();
  if (request != 0 && words.executor_busy.load() == 0 && words.grant.load() == 0) {
    if (request == kQuitRequested) {
      int32_t expected = kQuitRequested;
      words.request.compare_exchange_strong(expected, kQuitInProgress);
    } else if (!isQuitCode(request)) {
      (void)threads_.start([this] { (void)executor_.run(); });
    }
  } else if (words.playing.load() != 0) {
    if (words.grant.load() == 0) startOneWorker();
  }
  countOffline();

  if (words.test_functions.load() != 0) {
    const int32_t spinner = spinner_.load();
    if (spinner % 25 == 0) status_.refresh();
    spinner_.store(spinner >= kSpinnerEnd ? 0 : spinner + 1);
  }
  request = words.request.load();
  return request != kQuitInProgress && request != kQuitFinal;
}

bool Supervisor::startWorker(Worker& worker) {
  if (worker.busy.load() != 0 || !worker.wanted || !worker.wanted()) return false;
  if (worker.busy.exchange(1) != 0) return true;
  Worker* w = &worker;
  if (!threads_.start([w] {
        w->body();
        w->busy.store(0);
      })) {
    w->busy.store(0);
  }
  return true;
}

void Supervisor::startOneWorker() {
  for (auto& worker : workers_) {
    if (worker->needs == WorkerNeeds::kFreeLock && startWorker(*worker)) return;
  }
}

void Supervisor::startLockFreeWorkers() {
  for (auto& worker : workers_) {
    if (worker->needs == WorkerNeeds::kNothing) (void)startWorker(*worker);
  }
}

void Supervisor::countOffline() {
  SharedWords& words = lock_.words();
  if (words.grant.load() != 0) return;
  int32_t value = words.build_request.load();
  while (value >= kOfflineStart && value < kOfflineLocked) {
    int32_t next = value + 1 > kOfflineLastCount ? kBuildNow : value + 1;
    if (words.build_request.compare_exchange_weak(value, next)) return;
  }
}

void Supervisor::setWorkerIdleCheck(int32_t code, std::function<bool()> idle) {
  if (isWorkerCode(code)) stale_checks_.worker_idle[static_cast<size_t>(code)] = std::move(idle);
}

void Supervisor::finishQuit() {
  if (queue_.length() > kQuitWriterMinimum && writer_.startQuitWriterThread()) return;
  lock_.words().request.store(kQuitFinal);
  window_.postCommand(kCommandFinishQuit, 0);
}

}  // namespace tunora::engine

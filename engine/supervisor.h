// The supervisor thread: the program's clock. Every tick (1000 ms, or 50 ms while a request
// waits with nothing granted during playback) it runs the watchdog, counts down the key-digit
// windows, hands a waiting request to a new request executor (or turns the quit request 66 into
// 665), starts at most one of the workers that use the database while music plays and nothing
// is granted, starts the workers that never touch the database (the cover loader) while music
// plays whatever holds the lock, and counts the offline countdown. When the request word reaches
// 665 it leaves its loop and finishes the quit.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/request_executor.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "engine/thread_set.h"
#include "engine/update_writer.h"
#include "engine/watchdog.h"
#include "engine/window_channel.h"

namespace tunora::engine {

// Above this many queued updates the quit runs the update writer before it ends.
inline constexpr int32_t kQuitWriterMinimum = 5;
inline constexpr int32_t kDigitWindowTicks = 20;

// What a worker needs before the supervisor starts it.
enum class WorkerNeeds {
  kFreeLock,  // the database: started only while nothing is granted, one of these per tick
  kNothing,   // never touches the database: started on every tick while music plays
};

class Supervisor {
 public:
  Supervisor(SharedLock& lock, RequestExecutor& executor, UpdateWriter& writer, UpdateQueue& queue,
             ThreadSet& threads, WindowChannel& window, StatusMessage& status)
      : lock_(lock),
        executor_(executor),
        writer_(writer),
        queue_(queue),
        threads_(threads),
        window_(window),
        status_(status) {}

  // Adds a worker that the supervisor starts on its own thread while music plays, when `wanted`
  // says so and it is not running. One that needs the free lock starts only while nothing is
  // granted and no request waits for the executor, and of several the first added wins; one
  // that needs nothing starts on any tick (a held or busy lock cannot hold it back). The cover
  // loader (needing nothing), the quick-link builder and the next-song details loader are added
  // in that order. Call before start().
  void addWorker(std::function<bool()> wanted, std::function<void()> body,
                 WorkerNeeds needs = WorkerNeeds::kFreeLock);
  // Whether worker `index` (in the order added) runs now.
  bool workerRunning(size_t index) const;
  // The watchdog's test of whether the worker that holds `code` (a worker code, 21..39) is
  // idle: a grant of that code held by an idle worker is cleared at the stale check. Call
  // before start().
  void setWorkerIdleCheck(int32_t code, std::function<bool()> idle);
  // The test-mode spinner, 0..100, stepped once a tick while "Test Functions" is on.
  int32_t spinner() const { return spinner_.load(); }

  // Starts run() on a thread of the program.
  bool start();
  // The thread's body: ticks until the request word is 665 (or the program stops), then
  // finishes the quit.
  void run();
  // One tick after the sleep. False when the loop is to end.
  bool tick();
  // The tick length that applies now.
  std::chrono::milliseconds tickLength() const;
  // After the loop: the update writer when more than 5 updates wait (it ends the quit), else
  // the request word becomes 666 and command 2031 goes to the window.
  void finishQuit();

 private:
  struct Worker {
    std::function<bool()> wanted;
    std::function<void()> body;
    WorkerNeeds needs = WorkerNeeds::kFreeLock;
    std::atomic<int32_t> busy{0};
  };
  // Starts `worker` when it is idle and wanted; true when it started.
  bool startWorker(Worker& worker);
  void startOneWorker();
  void startLockFreeWorkers();
  void countOffline();

  SharedLock& lock_;
  RequestExecutor& executor_;
  UpdateWriter& writer_;
  UpdateQueue& queue_;
  ThreadSet& threads_;
  WindowChannel& window_;
  StatusMessage& status_;
  StaleGrantChecks stale_checks_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::atomic<int32_t> spinner_{0};  // only the supervisor thread changes it
};

}  // namespace tunora::engine

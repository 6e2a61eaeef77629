// The program's threads: every thread the program starts is a std::thread owned here, joined
// when it has ended (at the next start) and at the latest when the set is closed. Nothing is
// detached, so no thread outlives the program object.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "util/env.h"

namespace tunora::engine {

class ThreadSet {
 public:
  // Every thread is started through env.enterThread, so a virtual clock knows it.
  explicit ThreadSet(Env& env) : env_(env) {}
  // Closes the set and joins every thread.
  ~ThreadSet() { closeAndJoin(); }
  ThreadSet(const ThreadSet&) = delete;
  ThreadSet& operator=(const ThreadSet&) = delete;

  // Starts `body` on a new thread. False once the set is closed (nothing is started).
  bool start(std::function<void()> body);
  // Refuses new threads from now on and joins all (those that threads start meanwhile are
  // refused). Must not be called from one of the set's threads.
  void closeAndJoin();
  // Threads started and not yet ended.
  int32_t running() const { return running_.load(); }

 private:
  struct Entry {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void joinEnded();  // with mu_ held

  Env& env_;
  std::mutex mu_;
  std::vector<Entry> entries_;  // guarded by mu_
  bool closed_ = false;         // guarded by mu_
  std::atomic<int32_t> running_{0};
};

}  // namespace tunora::engine

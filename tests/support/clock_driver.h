// Moving a FakeEnv's clock for tests with threads, in virtual time only: the clock moves when
// every thread under test sleeps (FakeEnv's counted threads), never because a busy thread is
// slow. The threads a test starts itself are EnvThreads, so they are counted too; a test's own
// thread that runs sleeping code while a ClockDriver moves the clock does it inside
// runCounted. The real-time bounds below only fail a test that would otherwise hang.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include "tests/support/fake_env.h"

namespace tunora::testing {

// Generous: a machine running many builds beside the tests may be slow, never this slow.
inline constexpr std::chrono::seconds kHangGuard{150};

// Advances the clock, each time every counted thread sleeps, to the next wake-up (by at most
// `step`) until `done` holds. `done` is looked at only while every counted thread sleeps. False
// when the guard ran out (a thread stayed busy, or `done` never came).
inline bool driveUntil(FakeEnv& env, const std::function<bool()>& done,
                       std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
  const auto give_up = std::chrono::steady_clock::now() + kHangGuard;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        give_up - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !env.waitUntilIdle(left)) return false;
    if (done()) return true;
    if (!env.advanceWhenIdle(step, left)) return false;
  }
}

// Lets `duration` of virtual time pass the same way. False when the guard ran out.
inline bool driveFor(FakeEnv& env, std::chrono::milliseconds duration,
                     std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
  const uint64_t end = env.nowMillis() + static_cast<uint64_t>(duration.count());
  return driveUntil(
      env, [&] { return env.nowMillis() >= end; }, step);
}

// Runs `body` on the calling thread, counted as a thread under test while it runs.
inline void runCounted(FakeEnv& env, std::function<void()> body) {
  env.enterThread(std::move(body))();
}

// Advances the clock on its own thread, whenever every counted thread sleeps, until destroyed.
class ClockDriver {
 public:
  explicit ClockDriver(FakeEnv& env, std::chrono::milliseconds step = std::chrono::milliseconds(1))
      : thread_([this, &env, step] {
          while (!stop_.load()) {
            if (!env.advanceWhenIdle(step, std::chrono::milliseconds(20))) continue;
            std::this_thread::yield();
          }
        }) {}
  ~ClockDriver() {
    stop_.store(true);
    thread_.join();
  }
  ClockDriver(const ClockDriver&) = delete;
  ClockDriver& operator=(const ClockDriver&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A thread a test starts: counted by the FakeEnv from its start to its end. join() drives the
// clock until the thread has ended (bounded); the destructor does the same, and a thread that
// does not end within the guard aborts the test binary rather than hang it.
class EnvThread {
 public:
  EnvThread(FakeEnv& env, std::function<void()> body)
      : env_(env), thread_([this, body = env.enterThread(std::move(body))] {
          body();
          done_.store(true);
        }) {}
  ~EnvThread() {
    if (!thread_.joinable()) return;
    if (!join()) {
      std::fprintf(stderr, "a test thread did not end within the hang guard\n");
      std::abort();
    }
  }
  EnvThread(const EnvThread&) = delete;
  EnvThread& operator=(const EnvThread&) = delete;

  bool done() const { return done_.load(); }
  // Moves the clock until the thread has ended, then joins it. False when it did not end within
  // the guard (it is then still running).
  [[nodiscard]] bool join(std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
    if (!thread_.joinable()) return true;
    if (!driveUntil(
            env_, [&] { return done(); }, step))
      return false;
    thread_.join();
    return true;
  }

 private:
  FakeEnv& env_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace tunora::testing

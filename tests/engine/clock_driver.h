// Moving a FakeEnv's clock for tests with threads: until a condition holds, or on a thread of
// its own while the test watches. Time moves only in virtual time; the one real-time bound is a
// guard that fails a test that would otherwise hang.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/support/fake_env.h"

namespace tunora::testing {

inline constexpr std::chrono::seconds kHangGuard{60};

// Advances the clock in `step`s until `done` holds. False when the guard ran out.
inline bool driveUntil(FakeEnv& env, const std::function<bool()>& done,
                       std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
  auto give_up = std::chrono::steady_clock::now() + kHangGuard;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    env.advance(step);
    std::this_thread::yield();
  }
  return true;
}

// Advances the clock on its own thread until destroyed.
class ClockDriver {
 public:
  explicit ClockDriver(FakeEnv& env, std::chrono::milliseconds step = std::chrono::milliseconds(1))
      : thread_([this, &env, step] {
          while (!stop_.load()) {
            env.advance(step);
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

}  // namespace tunora::testing

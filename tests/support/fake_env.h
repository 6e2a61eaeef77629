// An Env for tests: time stands still until the test moves it, sleepers wake when the time they
// wait for has come, and random bytes come from a seeded generator.
//
// Deterministic virtual time: the threads under test are counted (the program's threads through
// enterThread, a test's own threads through testing::EnvThread), and the drivers
// (advanceWhenIdle, testing::driveUntil, testing::ClockDriver) move the clock only when every
// counted thread sleeps in sleepFor. A thread that is busy, however slowly the machine runs it,
// holds the clock still. Sleepers woken by a move count as awake from that moment on, so the
// next move waits for them. Every real-time wait here has a bound.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>

#include "util/env.h"
#include "util/seeded_generator.h"

namespace tunora {

class FakeEnv final : public Env {
 public:
  explicit FakeEnv(uint64_t start_millis = 1'000'000, uint64_t seed = 1);

  uint64_t nowMillis() override;
  // Blocks until the fake clock reaches now + duration (a zero duration returns at once). A
  // thread the clock does not count moves the clock itself once every counted thread sleeps, so
  // that it can never stall them (a driver asleep in its own predicate, for one).
  void sleepFor(std::chrono::milliseconds duration) override;
  uint64_t fileTimeNow() override;
  bool randomBytes(std::span<std::byte> out) override;
  // Counts the thread from now until `body` returns.
  std::function<void()> enterThread(std::function<void()> body) override;

  // Moves the clock forward and wakes the sleepers whose time has come.
  void advance(std::chrono::milliseconds duration);
  // Waits (for real, at most `bound`) until every counted thread sleeps; false when the bound
  // ran out first.
  [[nodiscard]] bool waitUntilIdle(std::chrono::milliseconds bound);
  // Once every counted thread sleeps (waiting at most `bound`), moves the clock to the earliest
  // wake-up time, but by at most `max_step` (by `max_step` when nobody sleeps). False when the
  // threads did not all sleep within the bound (the clock is then left as it is).
  [[nodiscard]] bool advanceWhenIdle(std::chrono::milliseconds max_step,
                                     std::chrono::milliseconds bound);
  // Waits (for real, at most `bound`) until at least `count` threads are inside sleepFor.
  [[nodiscard]] bool waitForSleepers(int count,
                                     std::chrono::milliseconds bound = std::chrono::seconds(60));

 private:
  struct Sleeper {
    uint64_t deadline;
    bool counted;  // a counted thread
    bool woken = false;
    std::condition_variable wake;  // notified only for this sleeper
  };
  bool idle() const;  // with mu_ held
  void wakeDue();     // with mu_ held

  std::mutex mu_;
  std::condition_variable changed_;  // the counts changed (for the drivers)
  uint64_t now_millis_;
  uint64_t file_time_at_start_;
  std::list<Sleeper*> sleeping_;  // guarded by mu_
  int counted_ = 0;               // counted threads
  int counted_asleep_ = 0;        // counted threads inside sleepFor, not yet woken
  SeededGenerator generator_;
};

}  // namespace tunora

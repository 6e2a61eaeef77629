// An Env for tests: time stands still until the test moves it, sleepers wake when the time they
// wait for has come, and random bytes come from a script or a seeded generator.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "util/env.h"
#include "util/seeded_generator.h"

namespace tunora {

class FakeEnv final : public Env {
 public:
  explicit FakeEnv(uint64_t start_millis = 1'000'000, uint64_t seed = 1);

  uint64_t nowMillis() override;
  // Blocks until the fake clock reaches now + duration (a zero duration returns at once).
  void sleepFor(std::chrono::milliseconds duration) override;
  uint64_t fileTimeNow() override;
  bool randomBytes(std::span<std::byte> out) override;

  // Moves the clock forward and wakes the sleepers whose time has come.
  void advance(std::chrono::milliseconds duration);
  // Blocks (for real) until at least `count` threads are inside sleepFor.
  void waitForSleepers(int count);
  int sleepers();

  // Scripted random bytes are handed out first, then bytes of a seeded generator.
  void scriptRandomBytes(std::span<const std::byte> bytes);
  // Makes randomBytes() fail, as when the system has no random source.
  void setRandomFails(bool fails);

 private:
  std::mutex mu_;
  std::condition_variable changed_;
  uint64_t now_millis_;
  uint64_t file_time_at_start_;
  int sleepers_ = 0;
  SeededGenerator generator_;
  std::deque<std::byte> scripted_;
  bool random_fails_ = false;
};

}  // namespace tunora

// The virtual-time Env used by tests.
#include "tests/support/fake_env.h"

#include <algorithm>
#include <utility>

namespace tunora {

namespace {
// The FakeEnv that counts the calling thread, if any.
thread_local FakeEnv* counted_in = nullptr;
}  // namespace

FakeEnv::FakeEnv(uint64_t start_millis, uint64_t seed)
    : now_millis_(start_millis),
      // 2020-01-01 00:00:00 UTC, so stamps look like real ones.
      file_time_at_start_(kFileTimeUnixEpoch + 1577836800ULL * 10'000'000ULL),
      generator_(seed ? seed : 1) {}

uint64_t FakeEnv::nowMillis() {
  std::lock_guard lock(mu_);
  return now_millis_;
}

void FakeEnv::sleepFor(std::chrono::milliseconds duration) {
  std::unique_lock lock(mu_);
  if (duration.count() <= 0) return;
  Sleeper self{now_millis_ + static_cast<uint64_t>(duration.count()), counted_in == this};
  sleeping_.push_back(&self);
  if (self.counted) ++counted_asleep_;
  changed_.notify_all();
  // Only a move of the clock wakes a sleeper (it takes it off the list and uncounts it).
  if (self.counted) {
    self.wake.wait(lock, [&] { return self.woken; });
    return;
  }
  // A sleeper the clock does not count (a test's own thread, often the one that drives the
  // clock) must not hold up the counted ones: once every counted thread sleeps, it moves the clock
  // itself to the next wake-up, at most to its own, as a driver would.
  while (!self.woken) {
    if (counted_ > 0 && idle()) {
      uint64_t target = self.deadline;
      for (const Sleeper* s : sleeping_) {
        if (s->counted) target = std::min(target, s->deadline);
      }
      now_millis_ = std::max(now_millis_, target);
      wakeDue();
      changed_.notify_all();
      continue;
    }
    // The counts change under changed_, which this sleeper does not wait on: look again soon.
    self.wake.wait_for(lock, std::chrono::milliseconds(1), [&] { return self.woken; });
  }
}

std::function<void()> FakeEnv::enterThread(std::function<void()> body) {
  {
    std::lock_guard lock(mu_);
    ++counted_;
  }
  return [this, body = std::move(body)] {
    counted_in = this;
    body();
    counted_in = nullptr;
    std::lock_guard lock(mu_);
    --counted_;
    changed_.notify_all();
  };
}

uint64_t FakeEnv::fileTimeNow() {
  std::lock_guard lock(mu_);
  return file_time_at_start_ + now_millis_ * 10'000ULL;
}

bool FakeEnv::randomBytes(std::span<std::byte> out) {
  std::lock_guard lock(mu_);
  for (std::byte& b : out) b = static_cast<std::byte>(generator_.next() >> 56);
  return true;
}

void FakeEnv::wakeDue() {
  sleeping_.remove_if([&](Sleeper* s) {
    if (s->deadline > now_millis_) return false;
    s->woken = true;
    s->wake.notify_one();
    if (s->counted) --counted_asleep_;
    return true;
  });
}

void FakeEnv::advance(std::chrono::milliseconds duration) {
  std::lock_guard lock(mu_);
  now_millis_ += static_cast<uint64_t>(duration.count());
  wakeDue();
}

bool FakeEnv::idle() const { return counted_asleep_ >= counted_; }

bool FakeEnv::waitUntilIdle(std::chrono::milliseconds bound) {
  std::unique_lock lock(mu_);
  return changed_.wait_for(lock, bound, [&] { return idle(); });
}

bool FakeEnv::advanceWhenIdle(std::chrono::milliseconds max_step, std::chrono::milliseconds bound) {
  std::unique_lock lock(mu_);
  if (!changed_.wait_for(lock, bound, [&] { return idle(); })) return false;
  uint64_t step = static_cast<uint64_t>(std::max<int64_t>(max_step.count(), 0));
  for (const Sleeper* s : sleeping_) step = std::min(step, s->deadline - now_millis_);
  now_millis_ += step;
  wakeDue();
  return true;
}

bool FakeEnv::waitForSleepers(int count, std::chrono::milliseconds bound) {
  std::unique_lock lock(mu_);
  return changed_.wait_for(lock, bound,
                           [&] { return static_cast<int>(sleeping_.size()) >= count; });
}

}  // namespace tunora

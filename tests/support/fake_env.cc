// The virtual-time Env used by tests.
#include "tests/support/fake_env.h"

namespace tunora {

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
  uint64_t deadline = now_millis_ + static_cast<uint64_t>(duration.count());
  ++sleepers_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return now_millis_ >= deadline; });
  --sleepers_;
  changed_.notify_all();
}

uint64_t FakeEnv::fileTimeNow() {
  std::lock_guard lock(mu_);
  return file_time_at_start_ + now_millis_ * 10'000ULL;
}

bool FakeEnv::randomBytes(std::span<std::byte> out) {
  std::lock_guard lock(mu_);
  if (random_fails_) return false;
  for (std::byte& b : out) {
    if (!scripted_.empty()) {
      b = scripted_.front();
      scripted_.pop_front();
      continue;
    }
    b = static_cast<std::byte>(generator_.next() >> 56);
  }
  return true;
}

void FakeEnv::advance(std::chrono::milliseconds duration) {
  std::lock_guard lock(mu_);
  now_millis_ += static_cast<uint64_t>(duration.count());
  changed_.notify_all();
}

void FakeEnv::waitForSleepers(int count) {
  std::unique_lock lock(mu_);
  changed_.wait(lock, [&] { return sleepers_ >= count; });
}

int FakeEnv::sleepers() {
  std::lock_guard lock(mu_);
  return sleepers_;
}

void FakeEnv::scriptRandomBytes(std::span<const std::byte> bytes) {
  std::lock_guard lock(mu_);
  scripted_.insert(scripted_.end(), bytes.begin(), bytes.end());
}

void FakeEnv::setRandomFails(bool fails) {
  std::lock_guard lock(mu_);
  random_fails_ = fails;
}

}  // namespace tunora

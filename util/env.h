// The seam between the program and the operating system's clock, sleeping and random source.
// Code that waits, reads the time or draws random numbers takes an Env from the program object,
// so that tests can run threads whose waits are seconds long in virtual time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace tunora {

class Env {
 public:
  virtual ~Env() = default;

  // Milliseconds on a monotonic clock (wraps like a 32-bit tick count only where callers say so).
  virtual uint64_t nowMillis() = 0;
  // Blocks the calling thread for the given time. Safe to call from any thread.
  virtual void sleepFor(std::chrono::milliseconds duration) = 0;
  // The current wall-clock time as a file-time stamp: 100-nanosecond units since 1601-01-01 UTC.
  virtual uint64_t fileTimeNow() = 0;
  // Fills `out` with random bytes from a cryptographic source. Returns false when none could
  // be had.
  [[nodiscard]] virtual bool randomBytes(std::span<std::byte> out) = 0;
  // Called on the starting thread just before a thread of the program starts; the thread runs
  // what this returns. A virtual clock counts the thread from this call until `body` returns and
  // moves only while every counted thread sleeps in sleepFor. The real Env returns `body`.
  virtual std::function<void()> enterThread(std::function<void()> body) { return body; }

  // The process's real environment. Never destroyed.
  static Env& Default();
};

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
inline constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ULL;

// A file-time stamp as nanoseconds since 1970-01-01 UTC, the unit of a file's times (st_mtim).
inline int64_t unixNanosFromFileTime(uint64_t file_time) {
  return (static_cast<int64_t>(file_time) - static_cast<int64_t>(kFileTimeUnixEpoch)) * 100;
}

}  // namespace tunora

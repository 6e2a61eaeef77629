// Work run in a child process that is killed with SIGKILL at a random moment, the way "kill -9"
// or a crash ends the program: no destructor, no flush, no cleanup runs.
//
// The child tells the parent over a pipe that its work begins; the parent waits a drawn number
// of microseconds and kills it. The moments are drawn from a seeded generator over the time an
// uncut run of the work takes, so most kills land inside it. Where a kill lands depends on the
// machine's speed; what the test checks (nothing damaged) must hold wherever it lands, so the
// verdict does not depend on the clock.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "util/seeded_generator.h"

namespace tunora::testing {

// How a child ended.
enum class ChildEnd { kKilled, kFinished, kFailed };

// Forks; the child runs `body` (its exit code: 0 when its work was done) and exits. The parent
// kills it `delay` after the child starts `body` (or never, for a negative delay). kKilled when
// the kill ended it, kFinished when `body` returned 0 first, kFailed otherwise. `took`, when
// given, receives the time from the start of `body` to the child's end.
template <typename Body>
ChildEnd runAndKill(Body body, std::chrono::microseconds delay,
                    std::chrono::microseconds* took = nullptr) {
  int ready[2];
  if (::pipe(ready) != 0) return ChildEnd::kFailed;
  const pid_t pid = ::fork();
  if (pid < 0) return ChildEnd::kFailed;
  if (pid == 0) {
    ::close(ready[0]);
    const char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) ::_exit(90);
    ::_exit(body());
  }
  ::close(ready[1]);
  char byte = 0;
  // Returns when the child has started its work (or died before).
  const bool started = ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  const auto start = std::chrono::steady_clock::now();
  if (started && delay.count() >= 0) {
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
  }
  int status = 0;
  const bool reaped = ::waitpid(pid, &status, 0) == pid;
  if (took != nullptr) {
    *took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                  start);
  }
  if (!reaped) return ChildEnd::kFailed;
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return ChildEnd::kKilled;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildEnd::kFinished : ChildEnd::kFailed;
}

// The number of kills per case: TUNORA_CRASH_KILLS when set (the long run), else `fallback`.
inline int killsPerCase(int fallback) {
  const char* text = std::getenv("TUNORA_CRASH_KILLS");
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : fallback;
}

// Kill moments drawn evenly from 0 .. `span` (a little more than an uncut run takes).
class KillMoments {
 public:
  KillMoments(uint64_t seed, std::chrono::microseconds span)
      : random_(seed), span_(span.count() > 0 ? span.count() : 1) {}
  std::chrono::microseconds next() {
    return std::chrono::microseconds((random_.next() >> 11) % static_cast<uint64_t>(span_));
  }

 private:
  SeededGenerator random_;
  int64_t span_;
};

}  // namespace tunora::testing

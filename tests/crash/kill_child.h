// Work run in a forked child that is killed with SIGKILL at a random moment, the way "kill -9"
// or a crash ends the program (no destructor, no flush, no cleanup runs); the parent then checks
// what the work left on disk.
//
// The child runs `prepare` (not timed), tells the parent over a pipe that its work begins and
// runs `work`; the parent waits the drawn delay and kills it. The moments are drawn from a
// seeded generator over the time an uncut run takes, so most kills land inside the work. Where
// a kill lands depends on the machine's speed; what the tests check (nothing damaged) must hold
// wherever it lands, so no verdict depends on the clock. A hanging child dies of its own alarm.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "util/seeded_generator.h"

namespace tunora::testing {

enum class ChildEnd { kKilled, kFinished, kFailed };

// Runs prepare and work in a child and kills it `delay` after the work began (never for a
// negative delay). `took`, when given, receives the time from the start of the work to the
// child's end.
inline ChildEnd runAndKill(const std::function<bool()>& prepare, const std::function<bool()>& work,
                           std::chrono::microseconds delay,
                           std::chrono::microseconds* took = nullptr) {
  int ready[2];
  if (::pipe(ready) != 0) return ChildEnd::kFailed;
  const pid_t pid = ::fork();
  if (pid < 0) return ChildEnd::kFailed;
  if (pid == 0) {
    ::close(ready[0]);
    ::alarm(60);
    if (!prepare()) ::_exit(3);
    if (::write(ready[1], "S", 1) != 1) ::_exit(4);
    ::_exit(work() ? 0 : 3);
  }
  ::close(ready[1]);
  char byte = 0;
  const bool started = ::read(ready[0], &byte, 1) == 1;  // the work began (or the child died)
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
  if (!reaped || !started) return ChildEnd::kFailed;
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return ChildEnd::kKilled;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildEnd::kFinished : ChildEnd::kFailed;
}

struct KillTally {
  int killed = 0;    // kills that landed while the work ran
  int finished = 0;  // runs that ended before their kill
  int failed = 0;    // children that failed on their own
};

// Kills the work until `kills` kills landed (or 20 times as many runs went by). `reset` runs
// before each run (the uncut one first); `check` after each, told whether a kill may have cut it.
inline KillTally killRepeatedly(uint64_t seed, int kills, const std::function<bool()>& prepare,
                                const std::function<bool()>& work,
                                const std::function<void()>& reset,
                                const std::function<void(bool after_kill)>& check) {
  KillTally tally;
  std::chrono::microseconds took{};
  reset();
  if (runAndKill(prepare, work, std::chrono::microseconds(-1), &took) != ChildEnd::kFinished) {
    tally.failed = 1;
    return tally;
  }
  check(false);
  SeededGenerator random(seed);
  const uint64_t span = static_cast<uint64_t>((took + took / 8).count()) + 1;
  for (int run = 0; tally.killed < kills && run < 20 * kills; ++run) {
    reset();
    const auto delay = std::chrono::microseconds((random.next() >> 11) % span);
    switch (runAndKill(prepare, work, delay)) {
      case ChildEnd::kKilled:
        ++tally.killed;
        break;
      case ChildEnd::kFinished:
        ++tally.finished;
        break;
      case ChildEnd::kFailed:
        ++tally.failed;
        continue;
    }
    check(true);
  }
  return tally;
}

// The number of kills per case: TUNORA_CRASH_KILLS when set (the long run), else `fallback`.
inline int killsPerCase(int fallback) {
  const char* text = std::getenv("TUNORA_CRASH_KILLS");
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : fallback;
}

}  // namespace tunora::testing

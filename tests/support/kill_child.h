// Work run in a forked child that is killed with SIGKILL, the way "kill -9" or a crash ends the
// program (no destructor, no flush, no cleanup runs); the parent then checks what the work left
// on disk. The child may kill itself (at a crash point of its own), or the parent kills it at a
// moment drawn over the time an uncut run takes, so most land inside the work; what the tests
// check must hold wherever a kill lands, so no verdict depends on the clock. A hanging child dies
// of its own alarm. The crash tests and the table engine's kill tests share it.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "util/seeded_generator.h"

namespace tunora::testing {

enum class ChildEnd { kKilled, kFinished, kFailed };

// Runs `prepare` (not timed), then `work` in a child and kills it `delay` after the work began
// (never for a negative delay). `took`, when given, receives the time the work ran.
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
    if (!prepare() || ::write(ready[1], "S", 1) != 1) ::_exit(3);
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

// Runs `work` uncut once, then kills it until `kills` kills landed (TUNORA_CRASH_KILLS, when set,
// overrides the count; at most 20 times as many runs). `reset` runs before each run, `check` after
// each, told whether a kill may have cut it. Fails the test when a child failed on its own or too
// few kills landed; prints the tally under `what`.
inline void killRepeatedly(const std::string& what, uint64_t seed, int kills,
                           const std::function<bool()>& work, const std::function<void()>& reset,
                           const std::function<void(bool after_kill)>& check) {
  if (const char* text = std::getenv("TUNORA_CRASH_KILLS"); text != nullptr && std::atoi(text) > 0)
    kills = std::atoi(text);
  const auto prepare = [] { return true; };
  std::chrono::microseconds took{};
  reset();
  ASSERT_EQ(runAndKill(prepare, work, std::chrono::microseconds(-1), &took), ChildEnd::kFinished)
      << what << ": the uncut run";
  check(false);
  SeededGenerator random(seed);
  const uint64_t span = static_cast<uint64_t>((took + took / 8).count()) + 1;
  int killed = 0, finished = 0, failed = 0;
  for (int run = 0; killed < kills && run < 20 * kills; ++run) {
    reset();
    const ChildEnd end =
        runAndKill(prepare, work, std::chrono::microseconds((random.next() >> 11) % span));
    killed += end == ChildEnd::kKilled ? 1 : 0;
    finished += end == ChildEnd::kFinished ? 1 : 0;
    failed += end == ChildEnd::kFailed ? 1 : 0;
    if (end != ChildEnd::kFailed) check(true);
  }
  std::printf("%s: %d kills landed, %d runs finished first\n", what.c_str(), killed, finished);
  EXPECT_EQ(failed, 0) << what;
  EXPECT_EQ(killed, kills) << what << ": too few kills landed";
}

// Runs `work` uncut once, then `runs` times killed at moments spread evenly over the uncut run's
// time and a little past it, with `check` after each. Returns how many kills landed in the work.
inline int killSpread(int runs, const std::function<bool()>& work,
                      const std::function<void()>& check) {
  const auto always = [] { return true; };
  std::chrono::microseconds took{};
  EXPECT_EQ(runAndKill(always, work, std::chrono::microseconds(-1), &took), ChildEnd::kFinished)
      << "the uncut run";
  int killed = 0;
  for (int run = 0; run < runs && !::testing::Test::HasFatalFailure(); ++run) {
    SCOPED_TRACE("kill " + std::to_string(run));
    const ChildEnd end = runAndKill(always, work, took * (23 * (2 * run + 1)) / (40 * runs));
    EXPECT_NE(end, ChildEnd::kFailed);
    killed += end == ChildEnd::kKilled ? 1 : 0;
    check();
  }
  return killed;
}

}  // namespace tunora::testing

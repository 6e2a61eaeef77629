// Runs a piece of work in a forked child and kills the child with SIGKILL at a chosen moment of
// it, for the crash tests: the parent then checks what the work left on disk.
//
// The child runs `prepare` (not timed), tells the parent it is starting, runs `work`, and tells
// it when the work is done. The parent waits for the start, lets `delay_us` microseconds pass
// and kills the child. The outcome says whether the kill fell inside the work. A child that hangs
// dies of its own alarm, and the parent reports that as a failure.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>

namespace tunora::testing {

enum class KillOutcome {
  kKilledDuringWork,  // the kill fell between the start and the end of the work
  kWorkFinished,      // the work ended before the kill
  kFailed,            // the child could not prepare, its work failed, or it died otherwise
};

// Reads one byte from fd; 0 at end of file.
inline char readOneByte(int fd) {
  char byte = 0;
  for (;;) {
    const ssize_t n = read(fd, &byte, 1);
    if (n == 1) return byte;
    if (n < 0 && errno == EINTR) continue;
    return 0;
  }
}

inline KillOutcome forkAndKill(const std::function<bool()>& prepare,
                               const std::function<bool()>& work, uint32_t delay_us) {
  int fds[2];
  if (pipe(fds) != 0) return KillOutcome::kFailed;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return KillOutcome::kFailed;
  }
  if (child == 0) {
    close(fds[0]);
    alarm(60);
    if (!prepare()) _exit(3);
    (void)!write(fds[1], "S", 1);
    const bool ok = work();
    (void)!write(fds[1], ok ? "D" : "F", 1);
    _exit(ok ? 0 : 3);
  }
  close(fds[1]);
  const char started = readOneByte(fds[0]);
  if (started == 'S' && delay_us > 0) {
    const struct timespec pause = {static_cast<time_t>(delay_us / 1'000'000),
                                   static_cast<long>(delay_us % 1'000'000) * 1000};
    nanosleep(&pause, nullptr);
  }
  kill(child, SIGKILL);
  int wstatus = 0;
  while (waitpid(child, &wstatus, 0) < 0 && errno == EINTR) {
  }
  const char ended = started == 'S' ? readOneByte(fds[0]) : 0;
  close(fds[0]);
  if (started != 'S' || ended == 'F') return KillOutcome::kFailed;
  if (ended == 'D') return KillOutcome::kWorkFinished;
  if (!WIFSIGNALED(wstatus) || WTERMSIG(wstatus) != SIGKILL) return KillOutcome::kFailed;
  return KillOutcome::kKilledDuringWork;
}

// How long `work` takes when nobody kills it, in microseconds (run in a child, like a kill run):
// the range the kill moments are drawn from. 0 when it fails.
inline uint32_t timeUnkilled(const std::function<bool()>& prepare,
                             const std::function<bool()>& work) {
  int fds[2];
  if (pipe(fds) != 0) return 0;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    alarm(60);
    if (!prepare()) _exit(3);
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = work();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - t0)
                        .count();
    const auto value = static_cast<uint32_t>(ok ? std::max<int64_t>(us, 1) : 0);
    (void)!write(fds[1], &value, sizeof value);
    _exit(ok ? 0 : 3);
  }
  close(fds[1]);
  uint32_t value = 0;
  if (child < 0 || read(fds[0], &value, sizeof value) != sizeof value) value = 0;
  close(fds[0]);
  int wstatus = 0;
  if (child > 0) {
    while (waitpid(child, &wstatus, 0) < 0 && errno == EINTR) {
    }
  }
  return value;
}

}  // namespace tunora::testing

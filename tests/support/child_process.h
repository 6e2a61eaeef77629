// Work run in a forked child (a process that dies part-way, another computer, a full disk): the
// parent waits for it and learns how it ended. A hanging child dies of its own alarm.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <functional>

namespace tunora::testing {

// Runs `body` in a child and returns its exit code, or minus the signal that ended it (-9 for
// SIGKILL); -1000 when the child could not be made. With `file_limit` > 0 no file the child
// writes may grow past that many bytes: writes beyond fail as on a full disk.
inline int childExit(const std::function<int()>& body, size_t file_limit = 0) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1000;
  if (pid == 0) {
    ::alarm(120);
    if (file_limit > 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{file_limit, file_limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::_exit(body());
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1000;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

}  // namespace tunora::testing

// Background threads yield to the window: the list builder's passes over a large library keep a
// core busy for seconds, and on a machine of two cores the window's thread would otherwise wait
// its turn behind them and the X server.
#pragma once

#include <errno.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tunora {

// Lowers the calling thread's scheduling priority by `steps` nice levels (Linux schedules
// threads one by one). Best effort: a refusal changes nothing.
inline void lowerThisThreadPriority(int steps) {
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int now = ::getpriority(PRIO_PROCESS, tid);
  if (errno != 0) return;
  (void)::setpriority(PRIO_PROCESS, tid, now + steps);
}

}  // namespace tunora

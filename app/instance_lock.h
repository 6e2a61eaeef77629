// The single-instance lock "Tunora.exe": an exclusive flock on a lock file, held until the
// process ends, the file holding the holder's process id. A second player hands its start over
// to the running one (which raises its window and opens the paths given) and ends; when the
// running player does not answer, it waits about 4 seconds for it to go (a player that is just
// quitting), then ends. A player that crashed leaves no lock: the kernel drops it with the
// process. The media filler does not take the lock; it runs beside a player.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "util/env.h"
#include "util/xdg_folders.h"

namespace tunora {

class InstanceLock {
 public:
  InstanceLock() = default;
  explicit InstanceLock(int fd) : fd_(fd) {}
  ~InstanceLock();
  InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

struct InstanceLockResult {
  InstanceLock lock;         // held unless another player has it (or the file cannot be made)
  bool end_program = false;  // another player runs and did not take the start over
  bool handed_over = false;  // another player runs and took the start over
};

// Hands this start over to the running player of process id `pid`; true when it took it.
using HandOver = std::function<bool(int64_t pid)>;

// The lock file's path: $XDG_RUNTIME_DIR/Tunora.exe.lock, else the temporary folder
// ($TMPDIR or /tmp) + "/Tunora.exe-<uid>.lock".
std::string instanceLockPath(const EnvironmentLookup& environment);

// How long a second start waits for a running player that does not take its start over.
inline constexpr std::chrono::milliseconds kInstanceWait{4000};
// The steps of that wait.
inline constexpr std::chrono::milliseconds kInstanceWaitStep{250};

// Takes the lock at `path` and writes this process's id into its file. When another process
// holds it: asks `hand_over` (when set) with the holder's process id from the file, at once and
// after each step of kInstanceWait, and tries the lock again after each step; the result says
// which came first, or asks to end the program when neither did within kInstanceWait (times
// through `env`). A lock file that cannot be opened does not stop the program (the lock is then
// not held).
InstanceLockResult takeInstanceLock(Env& env, const std::string& path, const HandOver& hand_over);

}  // namespace tunora

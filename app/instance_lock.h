// The single-instance lock "Tunora.exe": an exclusive flock on a lock file, held until the
// process ends. A second player waits 5 seconds for the first to go; with a command-line
// argument it starts anyway (that is how the media filler runs beside a playing player).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "util/env.h"

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
  bool end_program = false;  // another player runs and no argument was given
};

// The lock file's path: $XDG_RUNTIME_DIR/Tunora.exe.lock, else the temporary folder
// ($TMPDIR or /tmp) + "/Tunora.exe-<uid>.lock".
std::string instanceLockPath(
    const std::function<std::optional<std::string>(const std::string&)>& environment);

// Takes the lock at `path`. When another process holds it, sleeps 5000 ms through `env` and tries
// once more; if it is still held the result asks to end the program unless `argument_present`.
// A lock file that cannot be opened does not stop the program (the lock is then not held).
InstanceLockResult takeInstanceLock(Env& env, const std::string& path, bool argument_present);

}  // namespace tunora

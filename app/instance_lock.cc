// The instance lock over flock(2).
#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace tunora {
namespace {

constexpr std::chrono::milliseconds kRetryWait{5000};

bool tryLock(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

std::string instanceLockPath(
    const std::function<std::optional<std::string>(const std::string&)>& environment) {
  if (auto runtime = environment("XDG_RUNTIME_DIR"); runtime && !runtime->empty()) {
    return *runtime + "/Tunora.exe.lock";
  }
  std::string temp = "/tmp";
  if (auto tmpdir = environment("TMPDIR"); tmpdir && !tmpdir->empty()) temp = *tmpdir;
  // The temporary folder is shared by all users; each has a lock of their own.
  return temp + "/Tunora.exe-" + std::to_string(::getuid()) + ".lock";
}

InstanceLockResult takeInstanceLock(Env& env, const std::string& path, bool argument_present) {
  InstanceLockResult result;
  // The lock belongs to the open file description: CLOEXEC keeps programs started from here
  // (the media filler) from inheriting it.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return result;
  if (tryLock(fd)) {
    result.lock = InstanceLock(fd);
    return result;
  }
  env.sleepFor(kRetryWait);
  if (tryLock(fd)) {
    result.lock = InstanceLock(fd);
    return result;
  }
  ::close(fd);
  result.end_program = !argument_present;
  return result;
}

}  // namespace tunora

// The instance lock over flock(2).
#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace tunora {
namespace {

bool tryLock(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// The holder's process id, as the file holds it in decimal; 0 when it holds none.
int64_t readHolder(int fd) {
  char text[32] = {};
  const ssize_t got = ::pread(fd, text, sizeof(text) - 1, 0);
  int64_t pid = 0;
  for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) {
    pid = pid * 10 + (text[i] - '0');
    if (pid > 1'000'000'000) return 0;
  }
  return pid;
}

InstanceLock holding(int fd) {
  const std::string text = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, text.data(), text.size(), 0);
  return InstanceLock(fd);
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
  if (auto runtime = xdgFolder(XdgFolder::kRuntimeDir, environment)) {
    return *runtime + "/Tunora.exe.lock";
  }
  std::string temp = "/tmp";
  if (auto tmpdir = environment("TMPDIR"); tmpdir && !tmpdir->empty()) temp = *tmpdir;
  // The temporary folder is shared by all users; each has a lock of their own.
  return temp + "/Tunora.exe-" + std::to_string(::getuid()) + ".lock";
}

InstanceLockResult takeInstanceLock(Env& env, const std::string& path, const HandOver& hand_over) {
  InstanceLockResult result;
  // The lock belongs to the open file description: CLOEXEC keeps programs started from here
  // (the media filler) from inheriting it.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return result;
  if (tryLock(fd)) {
    result.lock = holding(fd);
    return result;
  }
  const uint64_t start = env.nowMillis();
  const auto wait = static_cast<uint64_t>(kInstanceWait.count());
  while (true) {
    if (hand_over) {
      const int64_t holder = readHolder(fd);
      if (holder > 0 && hand_over(holder)) {
        ::close(fd);
        result.handed_over = true;
        return result;
      }
    }
    const uint64_t waited = env.nowMillis() - start;
    if (waited >= wait) break;
    env.sleepFor(std::min(kInstanceWaitStep, std::chrono::milliseconds(wait - waited)));
    if (tryLock(fd)) {
      result.lock = holding(fd);
      return result;
    }
  }
  ::close(fd);
  result.end_program = true;
  return result;
}

}  // namespace tunora

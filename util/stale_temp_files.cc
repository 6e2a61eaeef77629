// Finding and removing the temporary files of writers that were killed.
#include "util/stale_temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace tunora {
namespace {

constexpr char kTempMark[] = ".tmp";
constexpr size_t kTempMarkSize = sizeof kTempMark - 1;

bool processGone(int pid) {
  if (pid == ::getpid()) return false;
  // EPERM: the process exists (another user's); only ESRCH says it is gone.
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

int stalePidOf(const std::string& name) {
  const size_t mark = name.rfind(kTempMark);
  if (mark == std::string::npos || mark == 0) return 0;
  const size_t digits = mark + kTempMarkSize;
  if (digits == name.size() || name.size() - digits > 9) return 0;
  long pid = 0;
  for (size_t i = digits; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid > 0 && pid <= INT_MAX ? static_cast<int>(pid) : 0;
}

std::vector<std::string> removeStaleTempFiles(const std::string& folder) {
  std::vector<std::string> removed;
  const int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) return removed;
  DIR* dir = ::fdopendir(dir_fd);
  if (dir == nullptr) {
    ::close(dir_fd);
    return removed;
  }
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (stalePidOf(name) != 0) candidates.push_back(name);
  }
  for (const std::string& name : candidates) {
    struct stat st {};
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
      continue;
    }
    if (!processGone(stalePidOf(name))) continue;
    if (::unlinkat(dir_fd, name.c_str(), 0) == 0) removed.push_back(name);
  }
  ::closedir(dir);  // closes dir_fd
  return removed;
}

}  // namespace tunora

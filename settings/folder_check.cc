// The data folder's write check: a real file is made, since permissions alone say nothing about
// a read-only mount, and root may write where the mode says no.
#include "settings/folder_check.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tunora {

Status checkFolderWritable(const std::string& dir) {
  std::string name = dir;
  if (name.empty() || name.back() != '/') name += '/';
  name += ".tunora-write-check-XXXXXX";
  std::vector<char> path(name.begin(), name.end());
  path.push_back('\0');
  const int fd = ::mkstemp(path.data());
  if (fd < 0) return Status::IOError(dir + ": " + std::strerror(errno));
  ::close(fd);
  ::unlink(path.data());
  return Status::Ok();
}

}  // namespace tunora

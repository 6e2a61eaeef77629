// Open-file-description locks on whole files.
#include "marlbase/file_lock.h"

#include <fcntl.h>

#include <cerrno>

namespace tunora::marlbase {
namespace {

bool setLock(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end of the file, however it grows
  lock.l_pid = 0;  // required for open-file-description locks
  while (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

bool lockWholeFile(int fd, LockKind kind) {
  return setLock(fd, kind == LockKind::kExclusive ? F_WRLCK : F_RDLCK);
}

void unlockWholeFile(int fd) { (void)setLock(fd, F_UNLCK); }

}  // namespace tunora::marlbase

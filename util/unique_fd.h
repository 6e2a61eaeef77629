// An open file descriptor owned by one object: closed when the object goes, or earlier by
// closeNow, whose result counts (a network file system or a full device reports late write
// errors at the close).
#pragma once

#include <unistd.h>

namespace tunora {

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now: 0, or -1 with errno set. Closing an invalid descriptor is a success.
  int closeNow() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 ? 0 : ::close(fd);
  }

 private:
  int fd_;
};

}  // namespace tunora

// Whole reads and writes on a file descriptor.
#include "util/file_io.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace tunora {
namespace {

// `write_some(data, size, offset)` is write or pwrite: loops until all bytes are out.
template <typename WriteSome>
bool writeLoop(const void* data, size_t size, off_t offset, WriteSome write_some) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = write_some(p, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;  // a regular file that takes no byte is full
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

}  // namespace

bool writeAll(int fd, const void* data, size_t size) {
  return writeLoop(data, size, 0,
                   [fd](const uint8_t* p, size_t n, off_t) { return ::write(fd, p, n); });
}

bool writeAll(int fd, const void* data, size_t size, off_t offset) {
  return writeLoop(data, size, offset,
                   [fd](const uint8_t* p, size_t n, off_t at) { return ::pwrite(fd, p, n, at); });
}

bool writeAllGathered(int fd, std::span<const iovec> pieces, off_t offset) {
  constexpr size_t kMostPerCall = 1024;  // IOV_MAX on Linux
  size_t next = 0;
  iovec part{};  // what is left of a piece a call wrote only in part
  while (next < pieces.size() || part.iov_len > 0) {
    if (part.iov_len > 0) {
      if (!writeAll(fd, part.iov_base, part.iov_len, offset)) return false;
      offset += static_cast<off_t>(part.iov_len);
      part = {};
      continue;
    }
    const size_t count = std::min(kMostPerCall, pieces.size() - next);
    ssize_t n = ::pwritev(fd, pieces.data() + next, static_cast<int>(count), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    offset += n;
    while (n > 0 && static_cast<size_t>(n) >= pieces[next].iov_len) {
      n -= static_cast<ssize_t>(pieces[next].iov_len);
      ++next;
    }
    if (n > 0) {
      part.iov_base = static_cast<uint8_t*>(pieces[next].iov_base) + n;
      part.iov_len = pieces[next].iov_len - static_cast<size_t>(n);
      ++next;
    }
  }
  return true;
}

ssize_t readUpToAt(int fd, void* data, size_t size, off_t offset) {
  auto* p = static_cast<uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, p + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

bool readAll(int fd, void* data, size_t size, off_t offset) {
  return readUpToAt(fd, data, size, offset) == static_cast<ssize_t>(size);
}

}  // namespace tunora

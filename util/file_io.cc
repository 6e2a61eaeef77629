// Whole reads and writes on a file descriptor.
#include "util/file_io.h"

#include <unistd.h>

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

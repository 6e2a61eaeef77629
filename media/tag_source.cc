// The memory and file sources of the tag reader.
#include "media/tag_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tunora::media {

size_t MemoryTagSource::readAt(uint64_t offset, std::span<uint8_t> out) {
  if (offset >= bytes_.size()) return 0;
  const size_t n = static_cast<size_t>(std::min<uint64_t>(out.size(), bytes_.size() - offset));
  if (n > 0) std::memcpy(out.data(), bytes_.data() + offset, n);
  return n;
}

FileTagSource::~FileTagSource() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileTagSource::open(const std::string& path) {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  // O_NONBLOCK so that naming a FIFO cannot hang the reader; it is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
  head_.clear();
  head_read_ = false;
  return true;
}

size_t FileTagSource::readAt(uint64_t offset, std::span<uint8_t> out) {
  // An empty request may come with no buffer at all (an empty tag): nothing to copy.
  if (fd_ < 0 || offset >= size_ || out.empty()) return 0;
  if (offset + out.size() <= kHeadSize) {
    if (!head_read_) {
      head_read_ = true;
      head_.resize(kHeadSize);
      head_.resize(readFile(0, head_));
    }
    if (offset + out.size() <= head_.size()) {
      std::memcpy(out.data(), head_.data() + offset, out.size());
      return out.size();
    }
  }
  return readFile(offset, out);
}

size_t FileTagSource::readFile(uint64_t offset, std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n =
        ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace tunora::media

// The real file system's copy, sizes, free space and flush for a fill.
#include "filler/fill_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "util/unique_fd.h"

namespace tunora::filler {
namespace {

Status ioError(const std::string& path, int err) {
  if (err == ENOSPC || err == EDQUOT) return Status::NoSpace(path + ": " + std::strerror(err));
  return Status::IOError(path + ": " + std::strerror(err));
}

Status writeAll(int fd, const uint8_t* data, size_t size, const std::string& target) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ioError(target, n < 0 ? errno : ENOSPC);
    data += n;
    size -= static_cast<size_t>(n);
  }
  return Status::Ok();
}

Status copyOpen(int in, int out, const std::string& source, const std::string& target) {
  std::vector<uint8_t> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ioError(source, errno);
    if (n == 0) return Status::Ok();
    if (Status s = writeAll(out, buffer.data(), static_cast<size_t>(n), target); !s.ok()) return s;
  }
}

}  // namespace

Status PosixFillFiles::copyFile(const std::string& source, const std::string& target) {
  // A song path may name a FIFO or a device: open without blocking and take regular files only.
  UniqueFd in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (in.get() < 0) return ioError(source, errno);
  struct stat src {};
  if (::fstat(in.get(), &src) != 0) return ioError(source, errno);
  if (!S_ISREG(src.st_mode)) return Status::InvalidArgument(source + ": not a regular file");
  struct stat dst {};
  if (::lstat(target.c_str(), &dst) == 0) {
    // Truncating the target would destroy the song itself.
    if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
      return Status::InvalidArgument(target + ": is the song itself");
    }
    if (!S_ISREG(dst.st_mode)) return Status::InvalidArgument(target + ": not a regular file");
  }
  // O_NOFOLLOW: a link placed at the target's name is not written through.
  UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (out.get() < 0) return ioError(target, errno);
  Status s = copyOpen(in.get(), out.get(), source, target);
  if (s.ok() && out.closeNow() != 0) s = ioError(target, errno);
  if (!s.ok()) ::unlink(target.c_str());
  return s;
}

std::optional<uint64_t> PosixFillFiles::fileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

std::optional<SpaceInfo> PosixFillFiles::space(const std::string& folder) {
  struct statvfs vfs {};
  if (::statvfs(folder.c_str(), &vfs) != 0) return std::nullopt;
  const uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
  return SpaceInfo{static_cast<uint64_t>(vfs.f_bavail) * unit,
                   static_cast<uint64_t>(vfs.f_blocks) * unit};
}

Status PosixFillFiles::syncFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) return ioError(path, errno);
  if (::fsync(fd.get()) != 0) return ioError(path, errno);
  return Status::Ok();
}

Status PosixFillFiles::syncFolder(const std::string& folder) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return ioError(folder, errno);
  if (::fsync(fd.get()) != 0) return ioError(folder, errno);
  return Status::Ok();
}

void PosixFillFiles::removeFile(const std::string& path) { ::unlink(path.c_str()); }

uint64_t fillReserveBytes(const SpaceInfo& space) {
  return std::max<uint64_t>(64ULL << 20, space.total_bytes / 100);
}

}  // namespace tunora::filler

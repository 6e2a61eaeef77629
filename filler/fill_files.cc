// The real file system's copy, sizes, free space and flush for a fill.
#include "filler/fill_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <vector>

#include "util/stale_temp_files.h"
#include "util/unique_fd.h"

namespace tunora::filler {
namespace {

Status ioError(const std::string& path, int err) {
  if (err == ENOSPC || err == EDQUOT) return Status::NoSpace(path + ": " + std::strerror(err));
  return Status::IOError(path + ": " + std::strerror(err));
}

}  // namespace

Status PosixFillFiles::copyFile(const std::string& source, const std::string& target,
                                bool& name_taken) {
  name_taken = false;
  // A song path may name a FIFO or a device: open without blocking and take regular files only.
  UniqueFd in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (in.get() < 0) return ioError(source, errno);
  struct stat src {};
  if (::fstat(in.get(), &src) != 0) return ioError(source, errno);
  if (!S_ISREG(src.st_mode)) return Status::InvalidArgument(source + ": not a regular file");
  struct stat dst {};
  if (::lstat(target.c_str(), &dst) == 0) {
    name_taken = true;
    return Status::InvalidArgument(target + ": the name is taken");
  }
  ReplaceOptions options = copy_options_;
  options.keep_existing = true;
  FileReplacement out(target, options);
  if (!out.status().ok()) return out.status();
  std::vector<uint8_t> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ioError(source, errno);
    if (n == 0) break;
    if (Status s = out.write(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
        !s.ok()) {
      return s;
    }
  }
  Status committed = out.commit();
  name_taken = out.nameTaken();
  return committed;
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

int PosixFillFiles::removeStaleCopies(const std::string& folder) {
  return static_cast<int>(removeStaleTempFiles(folder).size());
}

uint64_t fillReserveBytes(const SpaceInfo& space) {
  return std::max<uint64_t>(64ULL << 20, space.total_bytes / 100);
}

}  // namespace tunora::filler

// FileReplacement and replaceFile: temporary file, write, fsync, rename, fsync of the folder.
#include "util/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/file_io.h"

namespace tunora {
namespace {

Status errnoStatus(const std::string& what, const std::string& path, int error) {
  std::string message = what + " " + path + ": " + std::strerror(error);
  if (error == ENOSPC || error == EDQUOT || error == EFBIG) return Status::NoSpace(message);
  return Status::IOError(message);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save replaces: path itself, or the end of its chain of symbolic links (which may
// not exist yet), so that the save goes through the links and keeps them.
std::string replacedFile(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<size_t>(n) >= target.size()) return at;
    target.resize(static_cast<size_t>(n));
    if (target.empty() || target[0] != '/') {
      const size_t slash = at.rfind('/');
      target = (slash == std::string::npos ? std::string() : at.substr(0, slash + 1)) + target;
    }
    at = target;
  }
  return at;
}

}  // namespace

// rename() that never replaces: RENAME_NOREPLACE where the file system has it, else a hard link
// (which fails on a taken name), else a check just before the rename (file systems with
// neither, such as FAT on older kernels). errno is set on failure.
bool renameKeepingExisting(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

std::string temporaryNameFor(const std::string& path) {
  return path + ".tmp" + std::to_string(::getpid());
}

FileReplacement::FileReplacement(const std::string& path, ReplaceOptions options)
    : path_(options.keep_existing ? path : replacedFile(path)),
      temp_(temporaryNameFor(path_)),
      options_(std::move(options)) {
  // A file left by a crash of a process with the same id is reused (truncated).
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0) {
    status_ = errnoStatus("cannot create", temp_, errno);
    return;
  }
  // The new file keeps the mode of the one it replaces (a private file stays private).
  struct stat old {};
  if (!options_.keep_existing && ::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    (void)::fchmod(fd_, old.st_mode & 07777);
  }
  if (options_.TEST_hook) options_.TEST_hook(ReplaceStep::kCreated, 0);
}

FileReplacement::~FileReplacement() {
  if (!committed_) discard();
}

void FileReplacement::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(temp_.c_str());
  }
}

Status FileReplacement::write(std::span<const uint8_t> bytes) {
  if (!status_.ok()) return status_;
  size_t done = 0;
  while (done < bytes.size()) {
    size_t want = bytes.size() - done;
    if (options_.chunk_size > 0 && want > options_.chunk_size) want = options_.chunk_size;
    if (!writeAll(fd_, bytes.data() + done, want)) {
      status_ = errnoStatus("cannot write", temp_, errno);
      discard();
      return status_;
    }
    done += want;
    written_ += want;
    if (options_.TEST_hook) options_.TEST_hook(ReplaceStep::kWrote, written_);
  }
  return Status::Ok();
}

Status FileReplacement::write(std::string_view text) {
  return write(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

Status FileReplacement::commit() {
  if (!status_.ok()) return status_;
  if (committed_) return Status::Ok();
  if (options_.sync && ::fsync(fd_) != 0) {
    status_ = errnoStatus("cannot sync", temp_, errno);
    discard();
    return status_;
  }
  if (options_.TEST_hook) options_.TEST_hook(ReplaceStep::kSynced, written_);
  const int closing = fd_;
  fd_ = -1;
  if (::close(closing) != 0) {
    status_ = errnoStatus("cannot close", temp_, errno);
    ::unlink(temp_.c_str());
    return status_;
  }
  const bool renamed = options_.keep_existing ? renameKeepingExisting(temp_, path_)
                                              : ::rename(temp_.c_str(), path_.c_str()) == 0;
  if (!renamed) {
    name_taken_ = errno == EEXIST;
    status_ =
        errnoStatus(options_.keep_existing ? "cannot create" : "cannot replace", path_, errno);
    ::unlink(temp_.c_str());
    return status_;
  }
  committed_ = true;
  if (options_.TEST_hook) options_.TEST_hook(ReplaceStep::kRenamed, written_);

  // Without this the rename itself may be lost in a power cut; the file would then be the old
  // one, which is still whole, so a failure here is not reported.
  const int dir =
      options_.sync ? ::open(folderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  if (options_.TEST_hook) options_.TEST_hook(ReplaceStep::kFolderSynced, written_);
  return Status::Ok();
}

Status replaceFile(const std::string& path, std::span<const std::span<const uint8_t>> parts,
                   const ReplaceOptions& options) {
  FileReplacement replacement(path, options);
  for (std::span<const uint8_t> part : parts) {
    if (Status s = replacement.write(part); !s.ok()) return s;
  }
  return replacement.commit();
}

}  // namespace tunora

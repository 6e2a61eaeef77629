// replaceFile: temporary file, write, fsync, rename, fsync of the folder.
#include "settings/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

bool writeAll(int fd, const uint8_t* data, size_t size, size_t chunk, size_t& written,
              const ReplaceOptions& options, int& error) {
  size_t done = 0;
  while (done < size) {
    size_t want = size - done;
    if (chunk > 0 && want > chunk) want = chunk;
    const ssize_t got = ::write(fd, data + done, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    if (got == 0) {
      error = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(got);
    written += static_cast<size_t>(got);
    if (options.TEST_hook) options.TEST_hook(ReplaceStep::kWrote, written);
  }
  return true;
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

Status replaceFile(const std::string& given_path, std::span<const std::span<const uint8_t>> parts,
                   const ReplaceOptions& options) {
  const std::string path = replacedFile(given_path);
  // One temporary name per process: two processes saving at once do not share it, and a file
  // left by a crash is reused (truncated) by the next save of the same process id.
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return errnoStatus("cannot create", temp, errno);
  // The new file keeps the mode of the one it replaces (a private file stays private).
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    (void)::fchmod(fd, old.st_mode & 07777);
  }
  auto fail = [&](const char* what, int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    return errnoStatus(what, temp, error);
  };
  if (options.TEST_hook) options.TEST_hook(ReplaceStep::kCreated, 0);

  size_t written = 0;
  int error = 0;
  for (std::span<const uint8_t> part : parts) {
    if (!writeAll(fd, part.data(), part.size(), options.chunk_size, written, options, error)) {
      return fail("cannot write", error);
    }
  }
  if (::fsync(fd) != 0) return fail("cannot sync", errno);
  if (options.TEST_hook) options.TEST_hook(ReplaceStep::kSynced, written);
  if (::close(fd) != 0) {
    const int close_error = errno;
    ::unlink(temp.c_str());
    return errnoStatus("cannot close", temp, close_error);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int rename_error = errno;
    ::unlink(temp.c_str());
    return errnoStatus("cannot replace", path, rename_error);
  }
  if (options.TEST_hook) options.TEST_hook(ReplaceStep::kRenamed, written);

  // Without this the rename itself may be lost in a power cut; the file would then be the old
  // one, which is still whole, so a failure here is not reported.
  const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  if (options.TEST_hook) options.TEST_hook(ReplaceStep::kFolderSynced, written);
  return Status::Ok();
}

}  // namespace tunora

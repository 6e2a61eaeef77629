// sameFile and outputPathError over stat and std::filesystem (error_code forms only).
#include "cli/file_checks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "marlbase/table_handle.h"

namespace tunora::cli {
namespace {

std::string resolved(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::weakly_canonical(path, ec);
  if (!ec) return full.string();
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  const bool a_exists = ::stat(a.c_str(), &sa) == 0;
  const bool b_exists = ::stat(b.c_str(), &sb) == 0;
  if (a_exists && b_exists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (a_exists != b_exists) return false;
  return resolved(a) == resolved(b);
}

std::string sameFileError(
    const std::vector<std::pair<std::string, std::optional<std::string>>>& files) {
  for (size_t i = 0; i < files.size(); ++i) {
    for (size_t j = i + 1; j < files.size(); ++j) {
      if (!files[i].second || !files[j].second) continue;
      if (sameFile(*files[i].second, *files[j].second)) {
        return files[i].first + " and " + files[j].first + " name the same file (" +
               *files[j].second + "); each must be a file of its own";
      }
    }
  }
  return {};
}

std::string claimNewFile(const std::string& path, bool force, bool& made) {
  made = false;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!force) return path + ": the file exists (--force replaces it)";
    if (!S_ISREG(st.st_mode)) return path + ": not a regular file";
    return {};
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return path + ": cannot create the file: " + std::strerror(errno);
  ::close(fd);
  made = true;
  return {};
}

void removeFailedCreate(const std::string& path, bool made, bool force) {
  if (!made && !force) return;
  if (!made) {
    marlbase::TableHandle table;
    table.setPath(path);
    const Status left = table.open();
    table.close();
    if (left.ok() || left.code() == Status::Code::kLocked) return;
  }
  ::unlink(path.c_str());
}

std::string outputPathError(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return path + ": not a regular file";
    if (::access(path.c_str(), W_OK) != 0) return path + ": " + std::strerror(errno);
    return {};
  }
  if (errno != ENOENT) return path + ": " + std::strerror(errno);
  const std::string folder = folderOf(path);
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return path + ": the folder " + folder + " does not exist";
  }
  if (::access(folder.c_str(), W_OK) != 0) return path + ": " + std::strerror(errno);
  return {};
}

}  // namespace tunora::cli

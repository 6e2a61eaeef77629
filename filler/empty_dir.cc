// The folder guard of "Empty Dir" and the emptying.
#include "filler/empty_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tunora::filler {
namespace {

// The folder with its links resolved, lexically normal; empty when it cannot be resolved.
std::string resolved(const std::string& folder) {
  char buffer[PATH_MAX];
  if (::realpath(folder.c_str(), buffer) == nullptr) return {};
  return lexicalFolder(buffer);
}

std::string parentOf(const std::string& normal) {
  const size_t slash = normal.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return normal.substr(0, slash);
}

}  // namespace

std::string lexicalFolder(const std::string& path) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string out;
  for (const auto& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

std::optional<ProtectedPlaces::FolderId> ProtectedPlaces::idOf(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return std::nullopt;
  return FolderId{st.st_dev, st.st_ino};
}

void ProtectedPlaces::protectChain(const std::string& folder) {
  // Parents are added from the folder upwards; a folder already known has its parents known
  // too, so a library of many songs in few folders costs one lookup per song.
  for (std::string at = folder;; at = parentOf(at)) {
    if (!above_files_.insert(at).second) break;
    if (const auto id = idOf(at)) above_ids_.insert(*id);
    if (at == "/") break;
  }
}

void ProtectedPlaces::protectFolderOf(const std::string& normal_path) {
  const std::string folder = parentOf(normal_path);
  if (!song_folders_.insert(folder).second) return;
  protectChain(folder);
  // Where the folder really is, when a link on the way leads elsewhere.
  const std::string real = resolved(folder);
  if (!real.empty() && real != folder) protectChain(real);
}

void ProtectedPlaces::protectFileAndParents(const std::string& path) {
  if (path.empty() || path[0] != '/') return;
  const std::string normal = lexicalFolder(path);
  protectFolderOf(normal);
  // A song that is a link: the file it leads to is the song.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer) != nullptr) protectFolderOf(lexicalFolder(buffer));
  }
}

bool ProtectedPlaces::isProtectedFolder(const std::string& normal, const std::string& real,
                                        const std::optional<FolderId>& id) const {
  for (const std::string* place : {&home_, &data_, &program_}) {
    if (place->empty()) continue;
    const std::string place_normal = lexicalFolder(*place);
    const std::string place_real = resolved(*place);
    if (normal == place_normal || real == place_normal) return true;
    if (!place_real.empty() && (normal == place_real || real == place_real)) return true;
    if (id && idOf(*place) == id) return true;
  }
  if (above_files_.count(normal) != 0 || above_files_.count(real) != 0) return true;
  return id && above_ids_.count(*id) != 0;
}

std::string ProtectedPlaces::refusal(const std::string& folder) const {
  if (folder.empty()) return "No output folder is given";
  if (folder[0] != '/') return folder + ": the output folder must be a full path (from \"/\")";
  const std::string normal = lexicalFolder(folder);
  if (normal == "/") return "The root folder \"/\" is never emptied";
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return folder + ": not a folder";
  }
  const std::string real = resolved(folder);
  if (real.empty() || real == "/") return "The root folder \"/\" is never emptied";
  if (isProtectedFolder(normal, real, FolderId{st.st_dev, st.st_ino})) {
    return folder +
           ": this folder is not emptied (it is the home, data or program folder, or it holds "
           "the library or songs of the library)";
  }
  return {};
}

EmptyResult emptyFolder(const std::string& folder) {
  EmptyResult result;
  const int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) {
    result.error = folder + ": " + std::strerror(errno);
    return result;
  }
  DIR* dir = ::fdopendir(dir_fd);
  if (dir == nullptr) {
    result.error = folder + ": " + std::strerror(errno);
    ::close(dir_fd);
    return result;
  }
  // The names first, then the deletions: deleting while reading may skip or repeat entries.
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  for (const auto& name : names) {
    struct stat st {};
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      ++result.kept;
      continue;
    }
    if (::unlinkat(dir_fd, name.c_str(), 0) == 0) {
      ++result.deleted;
    } else {
      ++result.failed;
    }
  }
  ::closedir(dir);  // closes dir_fd
  return result;
}

}  // namespace tunora::filler

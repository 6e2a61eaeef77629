// Buffer folder paths and the checks that keep file work inside the media folder.
#include "network/buffer_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "util/xdg_folders.h"

namespace tunora::network {
namespace {

std::vector<std::string> components(const std::string& relative) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    parts.push_back(relative.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::string bufferFolder(const EnvironmentLookup& environment) {
  const auto cache = xdgFolder(XdgFolder::kCacheHome, environment);
  return cache ? *cache + "/Pellan/Tunora/" : "";
}

std::string localBufferPath(const std::string& media_folder, const std::string& network_path) {
  size_t skip = 0;
  while (skip < network_path.size() && network_path[skip] == '/') ++skip;
  return media_folder + network_path.substr(skip);
}

std::string safeLocalBufferPath(const std::string& media_folder, const std::string& network_path) {
  if (media_folder.empty() || network_path.find('\0') != std::string::npos) return "";
  const std::string local = localBufferPath(media_folder, network_path);
  const std::string relative = local.substr(media_folder.size());
  std::string walk = media_folder;
  const std::vector<std::string> parts = components(relative);
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.empty() || part == "." || part == "..") return "";
    walk += part;
    struct stat st {};
    if (::lstat(walk.c_str(), &st) == 0) {
      if (S_ISLNK(st.st_mode)) return "";
      if (i + 1 < parts.size() && !S_ISDIR(st.st_mode)) return "";
    } else if (errno != ENOENT) {
      return "";
    }
    walk += '/';
  }
  return local;
}

bool createFoldersFor(const std::string& media_folder, const std::string& local_path) {
  if (local_path.compare(0, media_folder.size(), media_folder) != 0) return false;
  size_t pos = media_folder.size();
  for (;;) {
    const size_t slash = local_path.find('/', pos);
    if (slash == std::string::npos) return true;
    const std::string folder = local_path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    pos = slash + 1;
  }
}

bool deleteLocalCopy(const std::string& media_folder, const std::string& network_path) {
  const std::string local = safeLocalBufferPath(media_folder, network_path);
  if (local.empty()) return false;
  return ::unlink(local.c_str()) == 0 || errno == ENOENT;
}

}  // namespace tunora::network

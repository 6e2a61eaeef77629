// Path helpers: last component, parent folder, extension.
#include "media/path_helpers.h"

namespace tunora::media {

std::string lastPathComponent(std::string_view p) {
  std::string_view rest = p;
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  const size_t slash = rest.rfind('/');
  if (rest.size() > 2 && slash != std::string_view::npos && rest.size() - slash - 1 >= 2) {
    return std::string(rest.substr(slash + 1));
  }
  return std::string(p);
}

std::string parentFolderOf(std::string_view p) {
  const size_t slash = p.rfind('/');
  if (slash == std::string_view::npos) return std::string(p);
  return std::string(p.substr(0, slash + 1));
}

std::string stripExtension(std::string_view n) {
  const size_t dot = n.rfind('.');
  if (dot == std::string_view::npos) return std::string(n);
  return std::string(n.substr(0, dot));
}

}  // namespace tunora::media

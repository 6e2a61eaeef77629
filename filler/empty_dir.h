// "Empty Dir": which folders may be emptied before a fill, and the emptying itself.
//
// Only regular files and symbolic links (the links themselves, never what they point to)
// directly inside the folder are deleted; sub-folders and everything else stay, and nothing is
// entered. Folders whose loss would hurt are refused: an empty or relative path, "/", the home
// folder itself, the data and program directories, and any folder that holds or lies above the
// library file or a song of the library.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace tunora::filler {

// The places a fill must never empty.
class ProtectedPlaces {
 public:
  void setHome(std::string folder) { home_ = std::move(folder); }
  void setDataDirectory(std::string folder) { data_ = std::move(folder); }
  void setProgramDirectory(std::string folder) { program_ = std::move(folder); }
  // The library file, and every song path of the library: their folders and every folder
  // above them are protected.
  void protectFileAndParents(const std::string& path);

  // Empty when `folder` may be emptied; otherwise the reason it is refused.
  std::string refusal(const std::string& folder) const;

 private:
  bool isProtectedFolder(const std::string& normal) const;

  std::string home_, data_, program_;
  // Every folder holding or above a protected file, lexically normal, without a trailing "/"
  // ("/" itself as "/").
  std::unordered_set<std::string> above_files_;
};

// `path` without "." and ".." components, doubled "/" and a trailing "/" ("/" stays "/").
std::string lexicalFolder(const std::string& path);

struct EmptyResult {
  int deleted = 0;
  int kept = 0;       // folders and other entries left alone
  int failed = 0;     // files that could not be deleted
  std::string error;  // set when the folder could not be read at all
};

// Deletes the regular files and links directly inside `folder` (call refusal() first).
EmptyResult emptyFolder(const std::string& folder);

}  // namespace tunora::filler

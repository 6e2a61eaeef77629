// "Empty Dir": which folders may be emptied before a fill, and the emptying itself.
//
// Only regular files and symbolic links (the links themselves, never what they point to)
// directly inside the folder are deleted; sub-folders and everything else stay, and nothing is
// entered. Folders whose loss would hurt are refused: an empty or relative path, "/", the home
// folder itself, the data and program directories, and any folder that holds or lies above the
// library file or a song of the library.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tunora::filler {

// The places a fill must never empty. Folders are compared as they really are: by their path as
// given or stored, by that path with its links resolved, and by device and inode, so a library
// imported through a link ("Music" -> "real") still protects "real/Album", and a folder reached
// by another link or a bind mount is still the folder it is.
class ProtectedPlaces {
 public:
  void setHome(std::string folder) { home_ = std::move(folder); }
  void setDataDirectory(std::string folder) { data_ = std::move(folder); }
  void setProgramDirectory(std::string folder) { program_ = std::move(folder); }
  // The library file, and every song path of the library: their folders and every folder
  // above them are protected, both the stored ones and those the links lead to (a song that is
  // itself a link protects the folders of the file it leads to as well).
  void protectFileAndParents(const std::string& path);

  // Empty when `folder` may be emptied; otherwise the reason it is refused.
  std::string refusal(const std::string& folder) const;

 private:
  struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderId&) const = default;
  };
  struct FolderIdHash {
    size_t operator()(const FolderId& id) const {
      return std::hash<uint64_t>()(static_cast<uint64_t>(id.device) * 0x9E3779B97F4A7C15ULL ^
                                   static_cast<uint64_t>(id.inode));
    }
  };

  // Protects `folder` (lexically normal) and every folder above it.
  void protectChain(const std::string& folder);
  void protectFolderOf(const std::string& normal_path);
  bool isProtectedFolder(const std::string& normal, const std::string& real,
                         const std::optional<FolderId>& id) const;
  static std::optional<FolderId> idOf(const std::string& folder);

  std::string home_, data_, program_;
  // Every folder holding or above a protected file, lexically normal, without a trailing "/"
  // ("/" itself as "/").
  std::unordered_set<std::string> above_files_;
  // The same folders by device and inode (those that could be examined).
  std::unordered_set<FolderId, FolderIdHash> above_ids_;
  // Song folders already protected (most songs share their folder with others).
  std::unordered_set<std::string> song_folders_;
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

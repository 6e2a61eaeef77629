// Where buffered songs live on the local drive: the buffer folder under the user's cache folder,
// its buffer table and media folder, and the local path of a song's network path. Nothing is
// ever created or deleted outside the media folder: a path with "." or ".." components, or with
// a symbolic link anywhere below the media folder, is refused.
#pragma once

#include <string>

#include "util/xdg_folders.h"

namespace tunora::network {

inline constexpr char kBufferTableName[] = "LocFiles.mbf";
inline constexpr char kMediaFolderName[] = "Media/";

// The user's cache folder ($XDG_CACHE_HOME, or $HOME/.cache) + "/Pellan/Tunora/". Empty when
// neither gives an absolute path.
std::string bufferFolder(const EnvironmentLookup& environment);

// The media folder followed by the network path without its leading "/" (the folders below the
// root are kept).
std::string localBufferPath(const std::string& media_folder, const std::string& network_path);

// localBufferPath when it is safe to create, write or delete there; empty otherwise.
std::string safeLocalBufferPath(const std::string& media_folder, const std::string& network_path);

// Creates the folders of a safe local path below the media folder. False on failure.
bool createFoldersFor(const std::string& media_folder, const std::string& local_path);

// Deletes the local copy of a network path when its local path is safe. True when it is gone.
bool deleteLocalCopy(const std::string& media_folder, const std::string& network_path);

}  // namespace tunora::network

// The program directory and the data directory, fixed at start-up. Both end in "/".
//
// The data directory is the program directory when the program runs from a removable drive or
// when no "DefSet.txt" lies beside it (a copy that keeps everything in its own folder).
// Otherwise it is $XDG_DATA_HOME (default ~/.local/share) + "/Pellan/Tunora/", created if
// missing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "settings/fixed_user.h"
#include "util/xdg_folders.h"

namespace tunora {

// What the directory rules look at, injectable for tests.
struct DirectoryProbe {
  // The running program's file, e.g. "/opt/tunora/bin/tunora".
  std::string program_path;
  // Looks up an environment variable; nullopt when unset.
  EnvironmentLookup environment;
  // Whether a folder lies on a removable drive.
  std::function<bool(const std::string& folder)> is_removable;
};

// The probe of the running process: /proc/self/exe, getenv and sysfs.
DirectoryProbe systemDirectoryProbe();

struct Directories {
  // The folder of the program's own files (app/program_files.h).
  std::string program;
  std::string data;
  // The first 64 bytes of "DefSet.txt" when it was read, zeros otherwise.
  std::array<uint8_t, kDefSetTextSize> defset_text{};
};

// Applies the rules above. Creates the data directory's folders when they are missing (failures
// are not reported). Without a usable $XDG_DATA_HOME or $HOME the program directory is used.
Directories findDirectories(const DirectoryProbe& probe);

}  // namespace tunora

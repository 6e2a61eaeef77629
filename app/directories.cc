// Finding the program and data directories.
#include "app/directories.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/program_files.h"
#include "app/removable_drive.h"
#include "settings/file_read.h"

namespace tunora {
namespace {

std::string withSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

std::optional<std::string> userDataHome(const DirectoryProbe& probe) {
  if (!probe.environment) return std::nullopt;
  // Only an absolute $XDG_DATA_HOME counts; a relative one is ignored, as the standard says.
  if (auto xdg = probe.environment("XDG_DATA_HOME"); xdg && !xdg->empty() && (*xdg)[0] == '/') {
    return withSlash(*xdg);
  }
  if (auto home = probe.environment("HOME"); home && !home->empty()) {
    return withSlash(*home) + ".local/share/";
  }
  return std::nullopt;
}

}  // namespace

DirectoryProbe systemDirectoryProbe() {
  DirectoryProbe probe;
  probe.program_path = runningProgramPath();
  probe.environment = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  probe.is_removable = [](const std::string& folder) { return isOnRemovableDrive(folder); };
  return probe;
}

Directories findDirectories(const DirectoryProbe& probe) {
  Directories dirs;
  dirs.program = findProgramFilesFolder(probe.program_path);
  dirs.data = dirs.program;
  if (probe.is_removable && probe.is_removable(dirs.program)) return dirs;
  const auto defset = readFilePrefix(dirs.program + kDefSetFileName, kDefSetTextSize);
  if (!defset) return dirs;
  std::copy(defset->begin(), defset->end(), dirs.defset_text.begin());

  const auto base = userDataHome(probe);
  if (!base) return dirs;
  dirs.data = *base + "Pellan/Tunora/";
  std::error_code ec;
  std::filesystem::create_directories(dirs.data, ec);
  return dirs;
}

}  // namespace tunora

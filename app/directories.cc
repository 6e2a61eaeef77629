// Finding the program and data directories.
#include "app/directories.h"

#include <unistd.h>

#include <filesystem>

#include "app/program_files.h"
#include "app/removable_drive.h"
#include "settings/file_read.h"
#include "util/xdg_folders.h"

namespace tunora {
namespace {

std::string withSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

std::optional<std::string> userDataHome(const DirectoryProbe& probe) {
  if (auto folder = xdgFolder(XdgFolder::kDataHome, probe.environment)) return withSlash(*folder);
  return std::nullopt;
}

}  // namespace

DirectoryProbe systemDirectoryProbe() {
  DirectoryProbe probe;
  probe.program_path = runningProgramPath();
  probe.environment = processEnvironment();
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

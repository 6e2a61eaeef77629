// Finding the program and data directories.
#include "app/directories.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/removable_drive.h"
#include "settings/file_read.h"

namespace tunora {
namespace {

std::string withSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

std::string folderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
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

// An installed program lives in "<prefix>/bin/" and its files in "<prefix>/share/tunora/".
// That folder is the program directory when the program's own folder holds neither
// "DefSet.txt" nor "ToolBar.bmp" (a copy unpacked into one folder keeps using that folder).
std::string programDirectory(const std::string& program_folder) {
  if (program_folder.size() < 5 ||
      program_folder.compare(program_folder.size() - 5, 5, "/bin/") != 0) {
    return program_folder;
  }
  if (fileExists(program_folder + kDefSetFileName) || fileExists(program_folder + "ToolBar.bmp")) {
    return program_folder;
  }
  const std::string installed =
      program_folder.substr(0, program_folder.size() - 4) + kInstalledFilesFolder;
  return fileExists(installed + "ToolBar.bmp") ? installed : program_folder;
}

}  // namespace

DirectoryProbe systemDirectoryProbe() {
  DirectoryProbe probe;
  std::error_code ec;
  probe.program_path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  probe.environment = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  probe.is_removable = [](const std::string& folder) { return isOnRemovableDrive(folder); };
  return probe;
}

Directories findDirectories(const DirectoryProbe& probe) {
  Directories dirs;
  dirs.program = programDirectory(folderOf(probe.program_path));
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

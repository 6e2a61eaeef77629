// Finding the folder of the program's own files.
#include "app/program_files.h"

#include <filesystem>

#include "settings/file_read.h"
#include "settings/fixed_user.h"

namespace tunora {
namespace {

std::string folderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
}

bool holdsProgramFiles(const std::string& folder) {
  return fileExists(folder + kDefSetFileName) || fileExists(folder + kToolBarFile);
}

}  // namespace

std::string findProgramFilesFolder(const std::string& program_path) {
  const std::string own = folderOf(program_path);
  if (holdsProgramFiles(own)) return own;  // the build folder, or a folder of its own
  if (own.size() < 5 || own.compare(own.size() - 5, 5, "/bin/") != 0) return own;
  const std::string installed = own.substr(0, own.size() - 4) + kInstalledFilesFolder;
  return fileExists(installed + kToolBarFile) ? installed : own;
}

std::string runningProgramPath() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

}  // namespace tunora

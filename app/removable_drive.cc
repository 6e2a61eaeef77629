// isOnRemovableDrive over stat and sysfs.
#include "app/removable_drive.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace tunora {

bool isOnRemovableDrive(const std::string& folder, const std::string& sys_root) {
  namespace fs = std::filesystem;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return false;
  const std::string link = sys_root + "/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                           std::to_string(minor(st.st_dev));
  std::error_code ec;
  fs::path device = fs::canonical(link, ec);
  if (ec) return false;
  // A partition's folder sits inside its disk's folder and holds a "partition" file.
  if (fs::exists(device / "partition", ec)) device = device.parent_path();
  std::ifstream removable(device / "removable");
  char flag = 0;
  return removable.get(flag) && flag == '1';
}

}  // namespace tunora

// Whether a folder lies on a removable drive (a memory stick, a card), from the block device's
// "removable" flag in sysfs.
#pragma once

#include <string>

namespace tunora {

// Finds the device of `folder` (stat's st_dev), looks it up as <sys_root>/dev/block/MAJ:MIN,
// steps up from a partition to its whole disk and reads the disk's "removable" file. False when
// any step fails (network and memory file systems, device mappers, a missing sysfs).
bool isOnRemovableDrive(const std::string& folder, const std::string& sys_root = "/sys");

}  // namespace tunora

// Temporary files that a kill left behind: a replacement (util/atomic_file.h) writes
// NAME + ".tmp" + its process id beside NAME and renames it into place when whole; a process
// killed before the rename leaves that file. Once its process has ended nothing will finish it.
#pragma once

#include <string>
#include <vector>

namespace tunora {

// The process id in a temporary name ("PL1.m3u.tmp4321" -> 4321); 0 when `name` is not of the
// form NAME + ".tmp" + digits with NAME not empty, or the number is not a possible process id.
int stalePidOf(const std::string& name);

// Removes, directly in `folder` (nothing below it is entered, links are not followed), every
// regular file whose name is of that form and whose process is not running. A file of a running
// process (this one included) stays: its writer may still rename it. Returns the names removed.
std::vector<std::string> removeStaleTempFiles(const std::string& folder);

}  // namespace tunora

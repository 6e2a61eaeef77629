// Whether the program can write in its data folder: a folder on a read-only file system, one
// without write permission or one that is gone would lose the settings, the play lists and the
// ratings without a word, so the window says so.
#pragma once

#include <string>

#include "util/status.h"

namespace tunora {

// Creates and removes a temporary file in `dir`: Ok when that worked, else the reason (such as
// "Read-only file system"). Touches nothing else in the folder.
Status checkFolderWritable(const std::string& dir);

}  // namespace tunora

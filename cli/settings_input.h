// The settings a tunora-cli command runs with: a settings file named with --settings, read over
// the first-run defaults (full reset and the "Default" rating values), or the defaults alone.
#pragma once

#include <optional>
#include <string>

#include "settings/settings.h"

namespace tunora::cli {

// With no file, or a missing one when `missing_is_first_run`, the defaults. False, with the
// reason in `error`, when a named file cannot be read, is not a regular file (a FIFO, a device,
// a folder: refused without waiting on it or reading it), or does not start with a settings
// header of version 300 to 401: such a file is never taken for settings, nor written over.
// A file of an older version is brought up to date as the program's start-up does, unless
// `version` is given: it then receives the file's version check (kVersionCurrent when no file
// was read) and the caller applies the upgrade.
bool readSettingsArgument(const std::optional<std::string>& file, bool missing_is_first_run,
                          Settings& settings, std::string& error, int* version = nullptr);

}  // namespace tunora::cli

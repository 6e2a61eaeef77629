// The settings a tunora-cli command runs with: a settings file named with --settings, read over
// the first-run defaults (full reset and the "Default" rating values), or the defaults alone.
#pragma once

#include <optional>
#include <string>

#include "settings/settings.h"

namespace tunora::cli {

// With no file, or a missing one when `missing_is_first_run`, the defaults. False, with the
// reason in `error`, when a named file cannot be read. `version`, when given, receives the
// file's version check (kVersionCurrent when no file was read).
bool readSettingsArgument(const std::optional<std::string>& file, bool missing_is_first_run,
                          Settings& settings, std::string& error, int* version = nullptr);

}  // namespace tunora::cli

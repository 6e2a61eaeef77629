// Reading the --settings file of a tunora-cli command.
#include "cli/settings_input.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "settings/file_read.h"
#include "settings/settings_defaults.h"
#include "settings/settings_file.h"
#include "settings/settings_upgrade.h"

namespace tunora::cli {

bool readSettingsArgument(const std::optional<std::string>& file, bool missing_is_first_run,
                          Settings& settings, std::string& error, int* version) {
  if (version != nullptr) *version = kVersionCurrent;
  resetAll(settings);
  resetRatingValues(settings);
  if (!file) return true;
  struct stat st {};
  if (::stat(file->c_str(), &st) != 0) {
    if (errno == ENOENT && missing_is_first_run) return true;
    error = *file + ": cannot read the settings file: " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = *file + ": not a regular file, so not a settings file";
    return false;
  }
  // At most a whole settings file is read, whatever the file's size.
  const auto bytes = readFilePrefix(*file, kSettingsFileSize);
  if (!bytes) {
    error = *file + ": cannot read the settings file";
    return false;
  }
  Settings read = settings;
  const int checked = decodeSettingsFile(*bytes, read);
  const bool known = checked == kVersionCurrent || (checked >= 300 && checked <= 400);
  if (!known) {
    error = *file +
            ": not a settings file (it does not start with \"TUNO1401\" or an older "
            "settings version); it is left as it is";
    return false;
  }
  // A caller that asks for the version applies the program's upgrade itself.
  if (version != nullptr) {
    *version = checked;
  } else {
    (void)upgradeSettings(read, checked);
  }
  settings = read;
  return true;
}

}  // namespace tunora::cli

// Reading the --settings file of a tunora-cli command.
#include "cli/settings_input.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "settings/settings_defaults.h"
#include "settings/settings_file.h"

namespace tunora::cli {

bool readSettingsArgument(const std::optional<std::string>& file, bool missing_is_first_run,
                          Settings& settings, std::string& error, int* version) {
  if (version != nullptr) *version = kVersionCurrent;
  resetAll(settings);
  resetRatingValues(settings);
  if (!file || (missing_is_first_run && !std::filesystem::exists(*file))) return true;
  std::ifstream in(*file, std::ios::binary);
  if (!in) {
    error = *file + ": cannot read the settings file";
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  const int checked = decodeSettingsFile(bytes, settings);
  if (version != nullptr) *version = checked;
  return true;
}

}  // namespace tunora::cli

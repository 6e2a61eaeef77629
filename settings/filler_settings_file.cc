// Reading and writing "dTnFill.dat".
#include "settings/filler_settings_file.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "settings/file_read.h"
#include "settings/settings_defaults.h"
#include "settings/settings_file.h"

namespace tunora {

using namespace settings;

void decodeFillerFile(std::span<const uint8_t> file_bytes, Settings& settings) {
  if (file_bytes.size() <= kSettingsHeaderSize) return;
  const size_t n = std::min<size_t>(file_bytes.size() - kSettingsHeaderSize, kFillerBlockSize);
  settings.storeBytes(kFillerBlockOffset, file_bytes.subspan(kSettingsHeaderSize, n));
}

bool loadFillerSettings(const std::string& data_dir, Settings& settings) {
  const auto bytes =
      readFilePrefix(data_dir + kFillerFileName, kSettingsHeaderSize + kFillerBlockSize);
  if (!bytes) {
    applyFillerDefaults(settings);
    return false;
  }
  decodeFillerFile(*bytes, settings);
  return true;
}

Status saveFillerSettings(const Settings& settings, const std::string& data_dir,
                          const ReplaceOptions& options) {
  const std::array<uint8_t, kRecordSize> image = settings.image();  // one snapshot
  const std::array<std::span<const uint8_t>, 2> parts = {
      std::span(reinterpret_cast<const uint8_t*>(kSettingsHeader.data()), kSettingsHeader.size()),
      std::span<const uint8_t>(image).subspan(kFillerBlockOffset, kFillerBlockSize)};
  return replaceFile(data_dir + kFillerFileName, parts, options);
}

}  // namespace tunora

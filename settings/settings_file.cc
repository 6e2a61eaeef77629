// Reading and writing "dTunora.dat".
#include "settings/settings_file.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "settings/file_read.h"

namespace tunora {

using namespace settings;

namespace {

// atoi over at most three characters.
int atoiOf(std::span<const uint8_t> digits) {
  size_t i = 0;
  auto isSpace = [](uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < digits.size() && isSpace(digits[i])) ++i;
  bool negative = false;
  if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) negative = digits[i++] == '-';
  int value = 0;
  while (i < digits.size() && digits[i] >= '0' && digits[i] <= '9')
    value = value * 10 + (digits[i++] - '0');
  return negative ? -value : value;
}

}  // namespace

int checkSettingsVersion(std::span<const uint8_t> header) {
  if (header.size() < 5 || std::memcmp(header.data(), "TUNO1", 5) != 0) {
    return kVersionUnrecognised;
  }
  const std::span<const uint8_t> version =
      header.subspan(5, std::min<size_t>(3, header.size() - 5));
  if (version.size() == 3 && std::memcmp(version.data(), "401", 3) == 0) return kVersionCurrent;
  return atoiOf(version);
}

int decodeSettingsFile(std::span<const uint8_t> file_bytes, Settings& settings) {
  const int version =
      checkSettingsVersion(file_bytes.first(std::min(file_bytes.size(), kSettingsHeaderSize)));
  if (file_bytes.size() > kSettingsHeaderSize) {
    const size_t n = std::min<size_t>(file_bytes.size() - kSettingsHeaderSize, kRecordSize);
    settings.storeBytes(0, file_bytes.subspan(kSettingsHeaderSize, n));
  }
  return version;
}

SettingsLoadResult loadSettings(const std::string& data_dir, const std::string& program_dir,
                                Settings& settings) {
  SettingsLoadResult result;
  std::string path = data_dir + kSettingsFileName;
  if (!fileExists(path)) path = program_dir + kSettingsFileName;
  const auto bytes = readFilePrefix(path, kSettingsFileSize);
  if (!bytes) return result;
  result.found = true;
  result.path = path;
  result.version = decodeSettingsFile(*bytes, settings);
  result.record_bytes =
      bytes->size() > kSettingsHeaderSize ? bytes->size() - kSettingsHeaderSize : 0;
  return result;
}

std::string statePlayListName(int32_t state) {
  return "PL" + std::to_string(static_cast<int64_t>(state) + 1) + ".m3u";
}

Status writeSettingsFile(const std::string& path, const Settings& settings,
                         const ReplaceOptions& options) {
  const std::array<uint8_t, kRecordSize> image = settings.image();  // one snapshot
  const std::array<std::span<const uint8_t>, 2> parts = {
      std::span(reinterpret_cast<const uint8_t*>(kSettingsHeader.data()), kSettingsHeader.size()),
      std::span<const uint8_t>(image)};
  return replaceFile(path, parts, options);
}

Status saveSettings(Settings& settings, const std::string& data_dir, const SaveSources& sources,
                    const ReplaceOptions& options) {
  if (sources.window) {
    if (auto placement = sources.window->windowPlacement()) {
      for (uint32_t i = 0; i < kWindowPlacement.count; ++i) {
        settings.set(kWindowPlacement, i, (*placement)[i]);
      }
    }
    const std::array<int32_t, 5> widths = sources.window->columnWidths();
    for (uint32_t i = 0; i < kColumnWidth.count; ++i) settings.set(kColumnWidth, i, widths[i]);
  }

  Status status = writeSettingsFile(data_dir + kSettingsFileName, settings, options);
  if (!status.ok()) return status;

  const int32_t state = settings.get(kCurrentState);
  if (sources.play_list && state >= 0 && state < static_cast<int32_t>(kStates)) {
    const int32_t prepared = sources.play_list->preparedCount();
    const std::string play_list = data_dir + statePlayListName(state);
    if (prepared == kDoNotSavePlayList) {
      // "Quit but do not save playlist": the file stays as it was.
    } else if (prepared > 0) {
      (void)sources.play_list->writePlayList(play_list);
    } else {
      ::unlink(play_list.c_str());
    }
  }
  return Status::Ok();
}

}  // namespace tunora

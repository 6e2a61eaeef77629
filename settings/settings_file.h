// The settings file "dTunora.dat": loading, the version check and saving.
//
// File layout:
//   offset 0, 8 bytes   "TUNO1" and a three-digit version; the current one writes "TUNO1401"
//   offset 8, 7000 bytes the settings record image (settings_layout.h)
// A shorter file is read as far as it goes; bytes past its end keep what the record held.
// Bytes after offset 7008 are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings.h"
#include "settings/settings_save_sources.h"
#include "settings/settings_upgrade.h"
#include "util/atomic_file.h"
#include "util/status.h"

namespace tunora {

inline constexpr char kSettingsFileName[] = "dTunora.dat";
inline constexpr std::string_view kSettingsHeader = "TUNO1401";
inline constexpr size_t kSettingsHeaderSize = 8;
inline constexpr size_t kSettingsFileSize = kSettingsHeaderSize + settings::kRecordSize;

// The version check of a file's first bytes (fewer than 8 when the file is shorter): 1001
// (kVersionUnrecognised) unless they begin with "TUNO1"; 1000 (kVersionCurrent) when the next
// three are "401"; else those three characters read as a decimal number the way the C library's
// atoi reads them (leading blanks, a sign, then digits up to the first non-digit; 0 when none).
int checkSettingsVersion(std::span<const uint8_t> header);

// Decodes the bytes of a settings file: returns the version check and copies the record bytes
// that are present over the start of `settings`.
int decodeSettingsFile(std::span<const uint8_t> file_bytes, Settings& settings);

struct SettingsLoadResult {
  bool found = false;       // false: no file could be opened (a first run)
  int version = 0;          // the version check result when found
  std::string path;         // the file that was read
  size_t record_bytes = 0;  // record bytes the file held (7000 unless it was short)
};

// loadSettings: reads "dTunora.dat" from the data directory, else from the program directory.
// Directories end in "/".
SettingsLoadResult loadSettings(const std::string& data_dir, const std::string& program_dir,
                                Settings& settings);

// Replaces the file at `path` with "TUNO1401" and the record image.
Status writeSettingsFile(const std::string& path, const Settings& settings,
                         const ReplaceOptions& options = {});

// saveSettings: takes the window placement (unless the window is in the tray) and the column
// widths into the record, replaces "dTunora.dat" in the data directory with the current header
// and the record, then writes the current state's play list to "PL" + (state + 1) + ".m3u" when
// songs are prepared or deletes that file when none are (neither with the 9999 marker, nor for
// a `CurrentState` outside 0..9). When the settings file cannot be written the play list is left
// alone and the status says why; the old settings file then is still whole.
Status saveSettings(Settings& settings, const std::string& data_dir, const SaveSources& sources,
                    const ReplaceOptions& options = {});

// The play-list file of a listening state: "PL" + (state + 1) + ".m3u".
std::string statePlayListName(int32_t state);

}  // namespace tunora

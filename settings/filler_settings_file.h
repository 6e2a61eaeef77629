// The media filler's settings file "dTnFill.dat" (data directory only).
//
// File layout: "TUNO1401" (8 bytes, read but never checked) and the 1000-byte filler block of
// the settings record (record offsets 5778..6777, fields in filler_layout.h). A shorter file is
// read as far as it goes; the rest of the block keeps what it held.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "settings/settings.h"
#include "util/atomic_file.h"
#include "util/status.h"

namespace tunora {

inline constexpr char kFillerFileName[] = "dTnFill.dat";

// Copies the block bytes present in a filler file's bytes into `settings`.
void decodeFillerFile(std::span<const uint8_t> file_bytes, Settings& settings);

// Loads "dTnFill.dat" from the data directory into the filler block. When there is no such
// file, sets the filler's defaults (applyFillerDefaults) and returns false.
bool loadFillerSettings(const std::string& data_dir, Settings& settings);

// Replaces "dTnFill.dat" in the data directory with the header and the filler block.
Status saveFillerSettings(const Settings& settings, const std::string& data_dir,
                          const ReplaceOptions& options = {});

}  // namespace tunora

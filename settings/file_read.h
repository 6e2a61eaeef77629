// Reading the start of a small file whole, for the settings files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// Up to `max_bytes` from the start of the regular file at `path`: fewer when the file is shorter
// or a read fails part-way (what was read is kept). nullopt when the file cannot be opened or is
// not a regular file.
std::optional<std::vector<uint8_t>> readFilePrefix(const std::string& path, size_t max_bytes);

bool fileExists(const std::string& path);

}  // namespace tunora

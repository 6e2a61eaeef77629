// Settings file images built byte by byte for the tests, independently of the code under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tunora::testing {

// The file image "TUNO1" + version + record, built byte by byte for tests.
inline std::vector<uint8_t> settingsFileBytes(const std::string& header,
                                              const std::vector<uint8_t>& record) {
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), record.begin(), record.end());
  return bytes;
}

// Stores a 32-bit little-endian word into a hand-built record.
inline void putWord(std::vector<uint8_t>& record, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace tunora::testing

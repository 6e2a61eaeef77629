// Test helpers: a temporary folder removed at the end of the test, and whole-file reads and
// writes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tunora::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tunora_app_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern + "/" : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, ending in "/".
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void writeText(const std::string& path, const std::string& text) {
  writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// The file image "TUNO1" + version + record, built byte by byte for tests.
inline std::vector<uint8_t> settingsFileBytes(const std::string& header,
                                              const std::vector<uint8_t>& record) {
  std::vector<uint8_t> bytes(header.size() + record.size());
  for (size_t i = 0; i < header.size(); ++i) bytes[i] = static_cast<uint8_t>(header[i]);
  for (size_t i = 0; i < record.size(); ++i) bytes[header.size() + i] = record[i];
  return bytes;
}

// Stores a 32-bit little-endian word into a hand-built record.
inline void putWord(std::vector<uint8_t>& record, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace tunora::testing

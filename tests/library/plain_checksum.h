// The content checksum exactly as its procedure is written: whole chunks read into one zeroed
// 20,000,000-byte buffer that is reused without clearing, and the word loop over every chunk.
// The oracle for the fast version in tests and its baseline in the benchmark.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tunora::testing {

inline uint32_t plainChecksum(const std::string& path) {
  constexpr size_t kChunk = 20'000'000;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return 0;
  std::vector<uint8_t> buffer(kChunk, 0);
  const auto byte = [&](size_t i) { return uint32_t{buffer[i]}; };
  uint32_t a = 1;
  uint32_t b = 0;
  for (;;) {
    const size_t length = std::fread(buffer.data(), 1, kChunk, file);
    if (length == 0) break;
    uint32_t r = static_cast<uint32_t>(length);
    size_t p = 0;
    while (r != 0) {
      a += byte(p) | byte(p + 1) << 8 | byte(p + 2) << 16 | byte(p + 3) << 24;
      p += 1;
      b += a;
      if (r <= 3) {
        uint32_t t = 0;
        if (r == 3) t = byte(p) << 24 | byte(p + 2) << 8;
        if (r == 2) t = byte(p + 1) << 24 | byte(p) << 16;
        if (r == 1) t = byte(p) << 24;
        a += t;
        b += a;
        r = 0;
      } else {
        r -= 4;
      }
    }
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return 0;
  const uint32_t result = (a << 16) + (b & 0xFFFF);
  return result == 0 ? 1 : result;
}

}  // namespace tunora::testing

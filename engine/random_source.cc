// The list builder's random sources and drawRandom.
#include "engine/random_source.h"

#include <array>
#include <cstddef>

namespace tunora::engine {

std::optional<uint32_t> EnvRandomSource::next32() {
  std::array<std::byte, 4> bytes;
  if (!env_.randomBytes(bytes)) return std::nullopt;
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

std::optional<uint32_t> SeededRandomSource::next32() {
  return static_cast<uint32_t>(generator_.next() >> 32);
}

uint32_t drawRandom(uint32_t n, RandomSource& source) {
  if (n <= 1) return 1;
  const std::optional<uint32_t> seed = source.next32();
  if (!seed) return 0;
  return *seed % n + 1;
}

}  // namespace tunora::engine

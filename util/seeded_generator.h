// The program's one seeded generator (xorshift64*): the same seed gives the same numbers on
// every system and standard library. The list builder's reproducible runs and the virtual-time
// Env of the tests draw from it.
#pragma once

#include <cstdint>

namespace tunora {

class SeededGenerator {
 public:
  // A state of 0 would stay 0: callers pass a non-zero seed.
  explicit SeededGenerator(uint64_t seed) : state_(seed) {}
  // The next 64 bits; the high bits are the best.
  uint64_t next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1DULL;
  }

 private:
  uint64_t state_;
};

}  // namespace tunora

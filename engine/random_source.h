// Where the list builder's random draws come from: the system's cryptographic source, or a
// seeded generator for reproducible runs and tests.
#pragma once

#include <cstdint>
#include <optional>

#include "util/env.h"
#include "util/seeded_generator.h"

namespace tunora::engine {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // 32 random bits; nothing when the source has none to give.
  virtual std::optional<uint32_t> next32() = 0;
};

// Draws from the Env's cryptographic source (getrandom on a real system).
class EnvRandomSource final : public RandomSource {
 public:
  explicit EnvRandomSource(Env& env) : env_(env) {}
  std::optional<uint32_t> next32() override;

 private:
  Env& env_;
};

// A seeded generator (xorshift64*): the same seed gives the same numbers on every system.
class SeededRandomSource final : public RandomSource {
 public:
  explicit SeededRandomSource(uint64_t seed)
      : generator_(seed == 0 ? 0x9E3779B97F4A7C15ULL : seed) {}
  std::optional<uint32_t> next32() override;

 private:
  SeededGenerator generator_;
};

// A number in 1..n (1 when n <= 1): the random 32 bits modulo n, plus 1. 0 when the source has
// nothing to give; a draw of 0 finds no record and is discarded.
uint32_t drawRandom(uint32_t n, RandomSource& source);

}  // namespace tunora::engine

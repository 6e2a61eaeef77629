// The list builder's draw written out plainly over an in-memory table image, with the plain
// n-th live record scan. It is the oracle for the builder's tests and the "before" of its
// benchmark.
#pragma once

#include <cstdint>
#include <string>

#include "engine/song_draw.h"
#include "settings/settings.h"
#include "tests/marlbase/plain_table.h"

namespace tunora::testing {
using engine::BuilderMemory;
using engine::DrawOutcome;
using engine::DrawRules;
using engine::RandomSource;

// One draw; the same contract as drawOnce.
DrawOutcome plainDrawOnce(marlbase::testing::PlainTable& table, Settings& settings,
                          BuilderMemory& memory, const DrawRules& rules, RandomSource& random,
                          int32_t* picked_slot);

}  // namespace tunora::testing

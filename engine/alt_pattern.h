// Alt modes: a listening state whose alt mode is m takes its user, pick by pick, from the
// characters of the m-th user pattern ("135": users 0, 2, 4 in turn; "0" is the tenth user).
#pragma once

#include <cstdint>
#include <string_view>

#include "settings/settings.h"

namespace tunora::engine {

// The user a pattern character selects: "1".."9" users 0..8; "0", any character below "1", or
// ":" user 9; anything else user 0. Only the low 7 bits of the character count.
int32_t userOfPatternCharacter(char c);

// After a pick: moves the pattern position on by one (wrapping at the pattern's end) and makes
// the current state's user the one its character names; an empty pattern selects user 0.
// `position` is one counter for all states and is never reset.
void advanceAltPattern(Settings& settings, uint32_t& position);

}  // namespace tunora::engine

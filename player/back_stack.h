// The back stack: the ten most recently played library slots, most recent first, kept in the
// settings field `BackStack` (saved with the settings); -1 marks an empty place.
#pragma once

#include <cstdint>

#include "settings/settings.h"

namespace tunora::player {

inline constexpr int32_t kBackStackSize = 10;

// The most recent slot; -1 when the stack is empty.
int32_t backStackTop(const Settings& settings);
// Puts `slot` in the first place; the others move down and the tenth falls off.
void pushBackStack(Settings& settings, int32_t slot);
// Takes the first place out (the others move up, the last place becomes -1) and returns it.
int32_t popBackStack(Settings& settings);

}  // namespace tunora::player

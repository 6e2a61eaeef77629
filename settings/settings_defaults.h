// The defaults of the settings record: the full reset, the state reset, the two presets of the
// rating values and the media filler's defaults.
#pragma once

#include "settings/settings.h"

namespace tunora {

// Sets every field that has a default to it (user, alt-mode and state names, patterns, the
// per-state arrays, the filler block), ending with the state reset. Leaves the "kept" fields
// alone: `DatabasePath`, the rating values, history, artist memory, window placement and others.
void resetAll(Settings& settings);

// The state reset (also the last step of the full reset and of some upgrades): state 0 current,
// the ten state names, neutral per-state limits, and the buffer, queue and auto-rate words.
void resetStates(Settings& settings);

// The "Default" preset of the rating values (also the first-run values): thresholds 1, 2, 4, ...,
// 512, `TargetValue` 1000, `DefaultImport` 16.
void resetRatingValues(Settings& settings);

// The "Alternate" preset: thresholds 1, 4, 8, ..., 1024, `TargetValue` 2000, `DefaultImport` 32.
void alternateRatingValues(Settings& settings);

// The filler block's defaults: fill size "4 GB", the file-type switches and state 0's limits,
// user and alt mode copied from the main settings, "Add Number" on. The output folder and the
// player's buffer level, which shares the block, are kept.
void applyFillerDefaults(Settings& settings);

}  // namespace tunora

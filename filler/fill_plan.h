// The media filler's plain rules: the size budgets, the target names with "Add Number", the
// title texts, and the copy of the filler's choices into the running settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings.h"

namespace tunora::filler {

inline constexpr char kFillerTitle[] = "Tunora Media Filler";
inline constexpr char kFillBusyTitle[] = "Tunora Deep Building";
inline constexpr char kFillMbfName[] = "Fill.mbf";

// Fill size index 7: no budget, the fill goes on until the target's reserve is reached.
inline constexpr int32_t kFillSizeUnbounded = 7;
// The highest pick number; the one after it is 0 again.
inline constexpr int32_t kLastPickNumber = 1000;

// The budget of a fill size index in units of 1024 bytes; nothing for "Fill" (index 7) and for
// an index out of range (which counts as "Fill").
std::optional<int64_t> fillBudgetUnits(int32_t size_index);

// The fill size index of a command-line size ("128MB" ... "8GB", "fill"), or nothing.
std::optional<int32_t> fillSizeIndexOf(const std::string& text);

// The pick number after `number` (0 after 1000).
inline int32_t nextPickNumber(int32_t number) { return number >= kLastPickNumber ? 0 : number + 1; }

// The name a picked song gets in the output folder: with "Add Number" the pick number with at
// least 3 digits and a blank, then the song file's own name (the text after its last "/").
std::string fillTargetName(const std::string& song_path, bool add_number, int32_t number);

// `folder` + "/" + `name`, with exactly one "/" between them.
std::string joinPath(const std::string& folder, const std::string& name);

// "N MB to go, NAME": N the remaining units divided by 1024, rounded down.
std::string fillProgressTitle(int64_t remaining_units, const std::string& name);

// Copies the filler block's choices into the running settings: the nine file-type switches,
// and for listening state 0 the user, alt mode, minimum rating and naughty limit. The filler
// builds for state 0, so state 0 also becomes the current state.
void applyFillChoices(Settings& settings);

}  // namespace tunora::filler

// The Rate keypad's buttons and what its answer means. Buttons "10", "9", "8" / "7", "6", "5" /
// "4", "3", "2" / "1", "0", "D" in three columns, "Cancel" below. Button n reports command
// 1200 + n, "D" 1213, "Cancel" 2. A report other than 2 becomes request 2 with the button
// (0..10, or kRateDelete for "D").
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tunora::ui {

inline constexpr int32_t kRateCommandBase = 1200;
inline constexpr int32_t kRateCommandLast = 1249;  // the reports that end the keypad
inline constexpr int32_t kRateCancel = 2;
inline constexpr int32_t kRateKeypadColumns = 3;

struct RateButton {
  const char* text;
  int32_t command;
};

// The twelve buttons in reading order (rows of three), then "Cancel".
inline constexpr std::array<RateButton, 13> kRateButtons = {{
    {"10", 1210},
    {"9", 1209},
    {"8", 1208},
    {"7", 1207},
    {"6", 1206},
    {"5", 1205},
    {"4", 1204},
    {"3", 1203},
    {"2", 1202},
    {"1", 1201},
    {"0", 1200},
    {"D", 1213},
    {"Cancel", kRateCancel},
}};

// Whether a button's command ends the keypad (1200..1249, or Cancel).
constexpr bool endsRateKeypad(int32_t command) {
  return command == kRateCancel || (command >= kRateCommandBase && command <= kRateCommandLast);
}

// The button that a report stands for: 0..10 or 13 ("D"); nullopt for "Cancel" and for any
// report that is no button's (it is not taken as a rating).
std::optional<int32_t> rateKeypadButton(int32_t report);

}  // namespace tunora::ui

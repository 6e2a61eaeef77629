// The main window's keyboard table. Keys arrive as key codes: letters as upper-case ASCII
// ('A'..'Z'), digits as '0'..'9', F1 as kKeyF1, the media Play/Pause key as kKeyMediaPlay. The
// digit windows of U and A are counted in supervisor ticks through the shared words'
// user_digit_counter and alt_digit_counter (the supervisor counts them down).
//
//   F1 command 11.  P, media Play: 1.  S: 5.  R: 3.  B: 4.  F: 5250.  O: 10.
//   U: user-digit window (20 ticks), A: alt-mode-digit window (20 ticks); each closes the other.
//   0..9 in the user window: StateUser := digit - 1 (0 gives user 9), StateAltMode := 0.
//   1..9 in the alt window: StateAltMode := digit, StateUser := 0; 0 there: StateAltMode := 0
//   (no alt mode), the user stays.
//   C: the "Cover Art" setting toggled.  M: the popup menu at the cursor.
#pragma once

#include <cstdint>

#include "engine/shared_words.h"
#include "engine/status_message.h"
#include "settings/settings.h"

namespace tunora::ui {

inline constexpr int32_t kKeyF1 = 0x70;
inline constexpr int32_t kKeyMediaPlay = 0xFA;

struct KeyOutcome {
  // The key is in the table (the window takes it; others go to the focused control).
  bool handled = false;
  // A command to post to the window's own channel; 0 for none.
  int32_t command = 0;
  // Show the popup menu at the cursor (key M).
  bool show_menu = false;
};

// Handles one key press. Changes of the user or alt mode refresh the status bar.
KeyOutcome handleKey(int32_t key, engine::SharedWords& words, Settings& settings,
                     engine::StatusMessage& status);

}  // namespace tunora::ui

// A left click in the painted display: in the upper-right area (W > 400, x > W/2) a click on a
// quick-link list line picks it, and a click on the picture flips Cover <-> Disc when the other
// picture exists; in the left half a click on the lower-left list's line picks it. A line is
// picked only on an entry line (below the header) that exists: entry i spans
// y = 50 + 16i .. 66 + 16i in the upper-right list and 200 + 16i .. 216 + 16i in the lower-left.
#pragma once

#include <cstdint>

#include "engine/shared_words.h"
#include "player/player_state.h"
#include "settings/settings.h"
#include "ui/window_state.h"

namespace tunora::ui {

struct DisplayClickInput {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;  // client width W
  int32_t upper_right_view = 1;
  int32_t lower_left_view = 0;
  int32_t list_entries = 0;  // entries of the loaded quick-link list (0 when not loaded)
  bool cover_found = false;
  bool disc_found = false;
};

struct DisplayClick {
  enum class Kind { kNothing, kSwitchView, kPickEntry };
  Kind kind = Kind::kNothing;
  int32_t new_upper_right_view = 0;  // kSwitchView
  int32_t entry = -1;                // kPickEntry
};

// What the click means (pure).
DisplayClick classifyDisplayClick(const DisplayClickInput& input);

// Handles a click: a view switch is stored in UpperRightView and the cover marked for reload;
// a picked entry becomes the current record, the play-chosen-song flag is set and player
// request 1 starts it. Returns what it did.
DisplayClick handleDisplayClick(int32_t x, int32_t y, Settings& settings, WindowState& window,
                                engine::SharedWords& words, player::PlayerState& player);

}  // namespace tunora::ui

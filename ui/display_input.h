// The paint list's input gathered from the program's state: the player's current song (its
// display texts and score), the settings (RatingValue, the two views) and the window's state
// (client size, quick-link list, cover flags), its texts as UTF-8. Window thread.
#pragma once

#include "player/player_state.h"
#include "settings/settings.h"
#include "ui/paint_list.h"
#include "ui/window_state.h"

namespace tunora::ui {

// Failed loads beyond which the cover is not drawn.
inline constexpr int32_t kCoverDrawFailureLimit = 16;

PaintInput displayInput(const player::PlayerState& player, const Settings& settings,
                        const WindowState& window);

}  // namespace tunora::ui

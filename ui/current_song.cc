// The executor's view of the current song over the player's state.
#include "ui/current_song.h"

namespace tunora::ui {

int32_t PlayerCurrentSong::currentRecord() {
  const int32_t slot = state_.current().slot;
  return slot > 0 ? slot : 0;
}

void PlayerCurrentSong::setDisplayedScore(uint32_t score) { state_.setCurrentRating(score); }

}  // namespace tunora::ui

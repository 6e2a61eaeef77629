// The request executor's view of the current song (engine::CurrentSong) over the player's
// state: the current record is the player's current slot, the displayed score its rating.
#pragma once

#include "engine/executor_work.h"
#include "player/player_state.h"

namespace tunora::ui {

class PlayerCurrentSong final : public engine::CurrentSong {
 public:
  explicit PlayerCurrentSong(player::PlayerState& state) : state_(state) {}
  // The player's current slot; 0 when none is known.
  int32_t currentRecord() override;
  void setCurrentRecord(int32_t slot) override { state_.setCurrentSlot(slot); }
  std::string currentPath() override { return state_.playPath(); }
  void setDisplayedScore(uint32_t score) override;
  void setPlayChosenSong() override { state_.play_chosen.store(1); }

 private:
  player::PlayerState& state_;
};

}  // namespace tunora::ui

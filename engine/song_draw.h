// One draw of the list builder: a random live song, the filters it must pass, and the credit
// scheme that decides whether it is picked.
//
// Every draw that lands on an eligible song adds the song's rating score to its credit for the
// current user; once the credit is above the target value the song is a candidate, and a
// candidate that passes the history, artist and balance checks is picked: the target value is
// taken off its credit and its play count grows by 1.
#pragma once

#include <cstdint>
#include <string>

#include "library/rating.h"
#include "marlbase/table_handle.h"
#include "media/media_type.h"
#include "settings/settings.h"

namespace tunora::engine {

class RandomSource;

// The last added path at start: a text no song path equals.
inline constexpr char kInitialLastAddedPath[] = "Tunora.exe";

// What the builder remembers between passes that is not kept in the settings record.
struct BuilderMemory {
  // Moves by (rating number - 5) at each pick and never falls below 50.
  int32_t pick_balance = 50;
  // Passes in a row that ended without a pick.
  uint32_t miss_count = 0;
  // The song most recently added to the play list; at start a text no song path equals.
  std::string last_added_path = kInitialLastAddedPath;
  std::string last_picked_path;
  // Index into the alt-mode pattern, shared by all states, never reset.
  uint32_t pattern_position = 0;
};

// The rules of the current listening state, read once per pass.
struct DrawRules {
  int32_t user = 0;
  uint32_t naughty_limit = 0;  // 3 = no filtering
  int32_t min_rating = 0;      // already lowered for the miss count
  bool history = false;
  bool no_artist_repeat = true;
  uint32_t target = 1000;
  RatingThresholds thresholds{};
  media::MediaSwitches switches;

  static DrawRules forCurrentState(const Settings& settings, uint32_t miss_count);
};

enum class DrawOutcome { kDiscarded, kCredited, kPicked };

// One draw on the open song table (open for writing). Updates the recent draws, song history and
// artist memory in `settings`, credits and play counts in the table. On kPicked, *picked_slot is
// the song's slot.
DrawOutcome drawOnce(marlbase::TableHandle& table, Settings& settings, BuilderMemory& memory,
                     const DrawRules& rules, RandomSource& random, int32_t* picked_slot);

// The rating number 0..10 of a score under the settings' thresholds.
int32_t ratingNumber(uint32_t score, const Settings& settings);
// The score of rating k (1..10), else 0.
uint32_t ratingScoreOf(int32_t k, const Settings& settings);
RatingThresholds ratingThresholdsOf(const Settings& settings);

}  // namespace tunora::engine

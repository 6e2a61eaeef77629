// Auto-rate's step and the queued change.
#include "player/auto_rate.h"

#include "library/song_columns.h"

namespace tunora::player {

std::optional<uint32_t> autoRatedScore(uint32_t score, int32_t speed, uint32_t top,
                                       AutoRateDirection direction) {
  const uint32_t divisor = speed == kArSpeedSlow ? 8 : speed == kArSpeedFast ? 2 : 4;
  uint32_t step = score / divisor;
  if (step == 0) step = 1;
  if (direction == AutoRateDirection::kSkipped) {
    if (score == 0) return std::nullopt;
    return score > step ? score - step : 1;
  }
  if (score > top) return std::nullopt;
  const uint64_t raised = static_cast<uint64_t>(score) + step;
  return raised > top ? top : static_cast<uint32_t>(raised);
}

void autoRate(AutoRateDirection direction, const Settings& settings, int32_t fixed_user,
              const SongDetails& song, engine::UpdateWriter& updates) {
  if (settings.stateValue(settings::kStateAltMode) != 0) return;
  const int32_t user = fixed_user >= 0 && fixed_user < kUserCount
                           ? fixed_user
                           : settings.stateValue(settings::kStateUser);
  if (user < 0 || user >= kUserCount) return;
  const auto top = static_cast<uint32_t>(settings.get(settings::kRatingValue, 9));
  const auto score = autoRatedScore(song.rating, settings.get(settings::kArSpeed), top, direction);
  if (!score || song.slot < 0) return;
  (void)updates.queueUpdate(song.slot, ratingColumn(user), *score, song.rating, song.file_id);
}

}  // namespace tunora::player

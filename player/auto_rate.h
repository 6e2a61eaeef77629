// Auto-rate: a song skipped loses part of its score for the listener, a song played to its end
// gains part of it. The change goes on the deferred update queue; the table is not opened.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/update_writer.h"
#include "player/song_details.h"
#include "settings/settings.h"

namespace tunora::player {

enum class AutoRateDirection { kSkipped = 0, kPlayedToEnd = 1 };

// "AR Speed" values: the step is the score / 8, / 4 or / 2.
inline constexpr int32_t kArSpeedSlow = 0;
inline constexpr int32_t kArSpeedNormal = 1;
inline constexpr int32_t kArSpeedFast = 2;

// The new score for a song whose loaded score is `score`, or nullopt when it stays as it is.
// `top` is the highest rating value (it caps the result; a score above it is not raised). An
// unknown speed counts as "Normal".
std::optional<uint32_t> autoRatedScore(uint32_t score, int32_t speed, uint32_t top,
                                       AutoRateDirection direction);

// autoRate: nothing in an alt mode or without a current slot; else queues the new score of the
// `Rating` column of the fixed user (when `fixed_user` is 0..9) or of the state's user, keyed by
// the song's FileId. Runs on the player thread; never takes the shared lock.
void autoRate(AutoRateDirection direction, const Settings& settings, int32_t fixed_user,
              const SongDetails& song, engine::UpdateWriter& updates);

}  // namespace tunora::player

// Rating numbers 0..10 and the scores stored for them. The table keeps a score per user; the
// user sees the rating number, the highest k whose threshold (the RatingValue settings, index
// k - 1 here) the score reaches.
#pragma once

#include <array>
#include <cstdint>

namespace tunora {

using RatingThresholds = std::array<uint32_t, 10>;

// The highest rating k in 10..1 with score >= thresholds[k - 1]; 0 when the score is below
// every threshold. Scores and thresholds compare as unsigned numbers.
int32_t ratingOfScore(uint32_t score, const RatingThresholds& thresholds);

// The score stored for a rating given by hand: thresholds[rating - 1] for 1..10, else 0.
uint32_t scoreOfRating(int32_t rating, const RatingThresholds& thresholds);

}  // namespace tunora

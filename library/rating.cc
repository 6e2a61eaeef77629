// Conversion between stored rating scores and the rating numbers users see.
#include "library/rating.h"

#include <cstddef>

namespace tunora {

int32_t ratingOfScore(uint32_t score, const RatingThresholds& thresholds) {
  // From the top down, so that thresholds out of order still give the highest rating reached.
  for (int32_t rating = 10; rating >= 1; --rating) {
    if (score >= thresholds[static_cast<size_t>(rating - 1)]) return rating;
  }
  return 0;
}

uint32_t scoreOfRating(int32_t rating, const RatingThresholds& thresholds) {
  if (rating < 1 || rating > 10) return 0;
  return thresholds[static_cast<size_t>(rating - 1)];
}

}  // namespace tunora

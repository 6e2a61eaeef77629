// Rating numbers from scores and back, with the default thresholds and odd ones.
#include "library/rating.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

constexpr RatingThresholds kDefaults = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512};

TEST(RatingTest, ScoresToRatingsAndBack) {
  const RatingThresholds zero_first = {0, 2, 4, 8, 16, 32, 64, 128, 256, 512};
  const RatingThresholds unordered = {5, 5, 5, 5, 5, 5, 5, 5, 5, 0x80000000};
  const struct {
    const RatingThresholds& thresholds;
    uint32_t score;
    int32_t rating;
  } rows[] = {{kDefaults, 0, 0},          {kDefaults, 1, 1},           {kDefaults, 3, 2},
              {kDefaults, 63, 6},         {kDefaults, 100, 7},         {kDefaults, 511, 9},
              {kDefaults, 512, 10},       {kDefaults, 0xFFFFFFFF, 10},  // unsigned, not -1
              {zero_first, 0, 1},  // a threshold of 0 for rating 1 rates every score
              {unordered, 5, 9},   // the highest rating reached
              {unordered, 0x80000000, 10}};
  for (const auto& row : rows)
    EXPECT_EQ(ratingOfScore(row.score, row.thresholds), row.rating) << row.score;
  for (const auto& [rating, score] :
       {std::pair{0, 0u}, {1, 1u}, {7, 64u}, {10, 512u}, {11, 0u}, {-1, 0u}}) {
    EXPECT_EQ(scoreOfRating(rating, kDefaults), score) << rating;
  }
  for (int32_t rating = 1; rating <= 10; ++rating) {
    EXPECT_EQ(ratingOfScore(scoreOfRating(rating, kDefaults), kDefaults), rating);
  }
}

}  // namespace
}  // namespace tunora

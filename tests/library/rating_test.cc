// Rating numbers from scores and back, with the default thresholds and odd ones.
#include "library/rating.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

constexpr RatingThresholds kDefaults = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512};

TEST(RatingTest, ScoreToRatingWithDefaults) {
  EXPECT_EQ(ratingOfScore(0, kDefaults), 0);
  EXPECT_EQ(ratingOfScore(1, kDefaults), 1);
  EXPECT_EQ(ratingOfScore(3, kDefaults), 2);
  EXPECT_EQ(ratingOfScore(63, kDefaults), 6);
  EXPECT_EQ(ratingOfScore(100, kDefaults), 7);
  EXPECT_EQ(ratingOfScore(511, kDefaults), 9);
  EXPECT_EQ(ratingOfScore(512, kDefaults), 10);
  EXPECT_EQ(ratingOfScore(100000, kDefaults), 10);
  EXPECT_EQ(ratingOfScore(0xFFFFFFFF, kDefaults), 10);  // unsigned, not -1
}

TEST(RatingTest, ThresholdOfRatingOneAtZeroMakesEveryScoreRated) {
  RatingThresholds thresholds = kDefaults;
  thresholds[0] = 0;
  EXPECT_EQ(ratingOfScore(0, thresholds), 1);
}

TEST(RatingTest, ThresholdsOutOfOrderGiveTheHighestReached) {
  const RatingThresholds thresholds = {5, 5, 5, 5, 5, 5, 5, 5, 5, 0x80000000};
  EXPECT_EQ(ratingOfScore(5, thresholds), 9);
  EXPECT_EQ(ratingOfScore(0x80000000, thresholds), 10);
}

TEST(RatingTest, RatingToScore) {
  EXPECT_EQ(scoreOfRating(0, kDefaults), 0u);
  EXPECT_EQ(scoreOfRating(1, kDefaults), 1u);
  EXPECT_EQ(scoreOfRating(7, kDefaults), 64u);
  EXPECT_EQ(scoreOfRating(10, kDefaults), 512u);
  EXPECT_EQ(scoreOfRating(11, kDefaults), 0u);
  EXPECT_EQ(scoreOfRating(-1, kDefaults), 0u);
  for (int32_t rating = 1; rating <= 10; ++rating) {
    EXPECT_EQ(ratingOfScore(scoreOfRating(rating, kDefaults), kDefaults), rating);
  }
}

}  // namespace
}  // namespace tunora

// Auto-rate: the step by speed and direction at the edges, and what is queued (column, key,
// old value) or left alone (alt mode, unknown slot); the back stack in the settings record: all
// ten places are used, most recent first.
#include "player/auto_rate.h"

#include <gtest/gtest.h>

#include "app/program.h"
#include "library/song_columns.h"
#include "player/back_stack.h"
#include "settings/fixed_user.h"
#include "settings/settings_defaults.h"
#include "tests/support/fake_env.h"

namespace tunora::player {
namespace {

using D = AutoRateDirection;

TEST(AutoRatedScore, StepsByAQuarterAtNormalSpeedWithTheEdgesOfTheScaleFastHalvesSlowAnEighth) {
  EXPECT_EQ(autoRatedScore(64, kArSpeedNormal, 512, D::kSkipped), 48u);
  EXPECT_EQ(autoRatedScore(48, kArSpeedNormal, 512, D::kPlayedToEnd), 60u);
  EXPECT_EQ(autoRatedScore(512, kArSpeedNormal, 512, D::kPlayedToEnd), 512u);  // capped
  EXPECT_EQ(autoRatedScore(500, kArSpeedNormal, 512, D::kPlayedToEnd), 512u);
  EXPECT_EQ(autoRatedScore(600, kArSpeedNormal, 512, D::kPlayedToEnd), std::nullopt);
  EXPECT_EQ(autoRatedScore(3, kArSpeedNormal, 512, D::kSkipped), 2u);  // step 0 becomes 1
  EXPECT_EQ(autoRatedScore(1, kArSpeedNormal, 512, D::kSkipped), 1u);
  EXPECT_EQ(autoRatedScore(0, kArSpeedNormal, 512, D::kSkipped), std::nullopt);
  EXPECT_EQ(autoRatedScore(0, kArSpeedNormal, 512, D::kPlayedToEnd), 1u);
  EXPECT_EQ(autoRatedScore(0xFFFFFFFFu, kArSpeedNormal, 0xFFFFFFFFu, D::kPlayedToEnd),
            0xFFFFFFFFu);  // no overflow past the top
  EXPECT_EQ(autoRatedScore(64, kArSpeedFast, 512, D::kSkipped), 32u);
  EXPECT_EQ(autoRatedScore(64, kArSpeedSlow, 512, D::kSkipped), 56u);
  EXPECT_EQ(autoRatedScore(64, 7, 512, D::kSkipped), 48u);  // an unknown speed is normal
}

class AutoRateQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    resetAll(settings_);
    resetRatingValues(settings_);
    settings_.set(settings::kCurrentState, 2);
    settings_.set(settings::kStateUser, 2, 3);
    settings_.set(settings::kStateAltMode, 2, 0);
    song_.slot = 7;
    song_.rating = 64;
    song_.file_id = 0xABCD;
  }
  std::optional<engine::QueuedUpdate> queued() { return program_.updateQueue().takeOldest(); }

  Settings settings_;
  SongDetails song_;
  FakeEnv env_;
  Program program_{env_};  // its update writer is never started: the test reads its queue
  engine::UpdateWriter& writer_ = program_.updateWriter();
};

TEST_F(AutoRateQueue, QueuesTheStateUsersColumnOrTheFixedUsersKeyedByFileId) {
  autoRate(D::kSkipped, settings_, kNoFixedUser, song_, writer_);
  auto update = queued();
  ASSERT_TRUE(update);
  EXPECT_EQ(update->column, ratingColumn(3));
  EXPECT_EQ(update->new_value, 48u);
  EXPECT_EQ(update->old_value, 64u);
  EXPECT_EQ(update->key, 0xABCDu);

  autoRate(D::kPlayedToEnd, settings_, 5, song_, writer_);
  update = queued();
  ASSERT_TRUE(update);
  EXPECT_EQ(update->column, ratingColumn(5));
  EXPECT_EQ(update->new_value, 80u);
}

TEST_F(AutoRateQueue, NothingInAnAltModeOrWithoutASlot) {
  settings_.set(settings::kStateAltMode, 2, 1);
  autoRate(D::kSkipped, settings_, kNoFixedUser, song_, writer_);
  EXPECT_FALSE(queued());
  settings_.set(settings::kStateAltMode, 2, 0);
  song_.slot = -1;
  autoRate(D::kSkipped, settings_, kNoFixedUser, song_, writer_);
  EXPECT_FALSE(queued());
}

TEST(BackStackTest, KeepsTheTenMostRecentSlotsInAllTenPlacesAndEmptiesFromTheEnd) {
  Settings settings;
  for (uint32_t i = 0; i < 10; ++i) settings.set(settings::kBackStack, i, -1);
  EXPECT_EQ(backStackTop(settings), -1);

  for (int32_t slot = 1; slot <= 11; ++slot) pushBackStack(settings, slot);
  // Slot 1 fell off; the tenth place holds slot 2.
  for (uint32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(settings.get(settings::kBackStack, i), 11 - static_cast<int32_t>(i)) << i;
  }

  EXPECT_EQ(popBackStack(settings), 11);
  EXPECT_EQ(settings.get(settings::kBackStack, 8), 2);
  EXPECT_EQ(settings.get(settings::kBackStack, 9), -1) << "the freed tenth place";
  for (int32_t slot = 10; slot >= 2; --slot) EXPECT_EQ(popBackStack(settings), slot);
  EXPECT_EQ(popBackStack(settings), -1);
}

}  // namespace
}  // namespace tunora::player

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

TEST(AutoRateQueue, QueuesTheStateUsersColumnOrTheFixedUsersKeyedByFileIdButNotInAnAltMode) {
  FakeEnv env;
  Program program{env};  // its update writer is never started: the test reads its queue
  Settings s;
  resetAll(s);
  resetRatingValues(s);
  s.set(settings::kCurrentState, 2);
  s.set(settings::kStateUser, 2, 3);
  SongDetails song;
  song.slot = 7;
  song.rating = 64;
  song.file_id = 0xABCD;
  // The update queued as "column key old->new", or "none".
  auto rate = [&](D direction, int32_t fixed_user) -> std::string {
    autoRate(direction, s, fixed_user, song, program.updateWriter());
    const auto u = program.updateQueue().takeOldest();
    if (!u) return "none";
    return std::to_string(u->column) + " " + std::to_string(u->key) + " " +
           std::to_string(u->old_value) + "->" + std::to_string(u->new_value);
  };
  EXPECT_EQ(rate(D::kSkipped, kNoFixedUser), std::to_string(ratingColumn(3)) + " 43981 64->48");
  EXPECT_EQ(rate(D::kPlayedToEnd, 5), std::to_string(ratingColumn(5)) + " 43981 64->80");
  s.set(settings::kStateAltMode, 2, 1);
  EXPECT_EQ(rate(D::kSkipped, kNoFixedUser), "none") << "an alt mode";
  s.set(settings::kStateAltMode, 2, 0);
  song.slot = -1;
  EXPECT_EQ(rate(D::kSkipped, kNoFixedUser), "none") << "no slot";
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

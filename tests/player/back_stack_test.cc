// The back stack in the settings record: all ten places are used, most recent first.
#include "player/back_stack.h"

#include <gtest/gtest.h>

namespace tunora::player {
namespace {

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

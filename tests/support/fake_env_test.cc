// The fake Env itself: a sleeper the clock does not count can never stall the counted ones.

#include <gtest/gtest.h>

#include "tests/support/clock_driver.h"

namespace tunora {
namespace {

using std::chrono::milliseconds;

// The stall a quick-link test once hit: the test's own thread, which drives the clock, slept in a
// 1 ms wait of the program's code while the counted thread slept until the clock moved.
TEST(FakeEnvTest, AnUncountedSleeperMovesTheClockOnceEveryCountedThreadSleeps) {
  FakeEnv env(1000);
  std::atomic<bool> go{false};
  testing::EnvThread worker(env, [&] {
    while (!go.load()) env.sleepFor(milliseconds(100));
  });
  ASSERT_TRUE(env.waitForSleepers(1, std::chrono::seconds(10)));
  env.sleepFor(milliseconds(1));  // uncounted: returns without any driver
  EXPECT_EQ(env.nowMillis(), 1001u);
  env.sleepFor(milliseconds(250));  // moves only as far as the worker's wake-up at 1100 first
  EXPECT_EQ(env.nowMillis(), 1251u);
  go.store(true);
  EXPECT_TRUE(worker.join());
}

}  // namespace
}  // namespace tunora

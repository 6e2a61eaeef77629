// How a taker of the spin guard waits: woken by a scope's release without the clock moving, and
// still seeing the program stop while a guard taken outside any scope stays taken.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "engine/spin_guard.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"

namespace tunora::engine {
namespace {

using testing::EnvThread;

// Real time only bounds a wait that would otherwise hang; nothing here is timed.
constexpr auto kWakeBound = std::chrono::seconds(30);

bool waitReal(const std::atomic<bool>& flag) {
  const auto give_up = std::chrono::steady_clock::now() + kWakeBound;
  while (!flag.load() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return flag.load();
}

// The taker is a thread under test of a clock that nobody moves: a taker that slept between its
// tries would never wake.
TEST(SpinGuardWaitTest, TakerOfAScopesGuardIsWokenByItsReleaseWithoutTheClock) {
  FakeEnv env;
  SharedWords words;
  const uint64_t start = env.nowMillis();
  std::optional<SpinGuardScope> holder;
  holder.emplace(words, env);
  ASSERT_TRUE(holder->held());
  std::atomic<bool> started{false}, taken{false};
  EnvThread taker(env, [&] {
    started.store(true);
    SpinGuardScope guard(words, env);
    taken.store(guard.held());
  });
  ASSERT_TRUE(waitReal(started));
  // Time for the taker to find the guard held.
  for (int i = 0; i < 1000 && !taken.load(); ++i) std::this_thread::yield();
  EXPECT_FALSE(taken.load()) << "taken while another scope held it";
  holder.reset();
  EXPECT_TRUE(waitReal(taken)) << "the release did not wake the taker";
  EXPECT_EQ(env.nowMillis(), start) << "the clock moved";
  ASSERT_TRUE(taker.join());
  EXPECT_EQ(words.spin_guard.load(), kGuardFree);
}

// A guard taken outside a scope has no holder that would wake anyone (the watchdog frees it much
// later): the taker sleeps through the clock between tries, so it sees the program stop.
TEST(SpinGuardWaitTest, TakerOfAGuardLeftTakenSeesTheProgramStop) {
  FakeEnv env;
  SharedWords words;
  words.spin_guard.store(kGuardTakenUnscoped);
  std::atomic<bool> held{true};
  EnvThread taker(env, [&] {
    SpinGuardScope guard(words, env);
    held.store(guard.held());
  });
  ASSERT_TRUE(env.waitForSleepers(1)) << "the taker does not sleep between its tries";
  words.stopping.store(1);
  ASSERT_TRUE(taker.join()) << "the taker did not see the program stop";
  EXPECT_FALSE(held.load());
  EXPECT_EQ(words.spin_guard.load(), kGuardTakenUnscoped) << "the guard was taken over";
}

}  // namespace
}  // namespace tunora::engine

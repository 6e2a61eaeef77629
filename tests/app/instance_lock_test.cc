// The instance lock: a second player waits 5 seconds (virtual time) for the first to go, then
// ends, unless an argument was given.
#include <gtest/gtest.h>

#include <optional>

#include "app/instance_lock.h"
#include "tests/settings/settings_test_bytes.h"
#include "tests/support/fake_env.h"
#include "tests/support/clock_driver.h"

namespace tunora {
namespace {

using namespace std::chrono_literals;

TEST(InstanceLockTest, FirstPlayerTakesTheLockAtOnce) {
  testing::TempDir dir;
  FakeEnv env;
  InstanceLockResult first = takeInstanceLock(env, dir.file("Tunora.exe.lock"), false);
  EXPECT_TRUE(first.lock.held());
  EXPECT_FALSE(first.end_program);
  EXPECT_EQ(env.nowMillis(), 1'000'000u);  // no wait
}

TEST(InstanceLockTest, SecondPlayerEndsAfterFiveSeconds) {
  testing::TempDir dir;
  FakeEnv env;
  const std::string path = dir.file("Tunora.exe.lock");
  InstanceLockResult first = takeInstanceLock(env, path, false);
  ASSERT_TRUE(first.lock.held());
  std::optional<InstanceLockResult> result;
  testing::EnvThread second(env, [&] { result.emplace(takeInstanceLock(env, path, false)); });
  ASSERT_TRUE(env.waitForSleepers(1));
  env.advance(4999ms);
  ASSERT_TRUE(env.waitUntilIdle(60s));
  EXPECT_FALSE(second.done());
  env.advance(1ms);
  ASSERT_TRUE(second.join());
  EXPECT_TRUE(result->end_program);
  EXPECT_FALSE(result->lock.held());
}

TEST(InstanceLockTest, SecondPlayerGetsTheLockWhenTheFirstEndsInTime) {
  testing::TempDir dir;
  FakeEnv env;
  const std::string path = dir.file("Tunora.exe.lock");
  auto first = std::make_unique<InstanceLockResult>(takeInstanceLock(env, path, false));
  std::optional<InstanceLockResult> result;
  testing::EnvThread second(env, [&] { result.emplace(takeInstanceLock(env, path, false)); });
  ASSERT_TRUE(env.waitForSleepers(1));
  first.reset();  // the first player ends
  env.advance(5000ms);
  ASSERT_TRUE(second.join());
  EXPECT_FALSE(result->end_program);
  EXPECT_TRUE(result->lock.held());
}

TEST(InstanceLockTest, AnArgumentLetsASecondCopyRun) {
  testing::TempDir dir;
  FakeEnv env;
  const std::string path = dir.file("Tunora.exe.lock");
  InstanceLockResult first = takeInstanceLock(env, path, false);
  std::optional<InstanceLockResult> result;
  testing::EnvThread filler(env, [&] { result.emplace(takeInstanceLock(env, path, true)); });
  ASSERT_TRUE(env.waitForSleepers(1));
  env.advance(5000ms);
  ASSERT_TRUE(filler.join());
  EXPECT_FALSE(result->end_program);
  EXPECT_FALSE(result->lock.held());
}

TEST(InstanceLockTest, LockPathFollowsTheEnvironment) {
  auto env = [](std::optional<std::string> runtime, std::optional<std::string> tmp) {
    return [=](const std::string& name) { return name == "XDG_RUNTIME_DIR" ? runtime : tmp; };
  };
  EXPECT_EQ(instanceLockPath(env("/run/user/1000", "/x")), "/run/user/1000/Tunora.exe.lock");
  EXPECT_EQ(instanceLockPath(env(std::nullopt, "/var/tmp")).rfind("/var/tmp/Tunora.exe-", 0), 0u);
  EXPECT_EQ(instanceLockPath(env("", std::nullopt)).rfind("/tmp/Tunora.exe-", 0), 0u);
}

}  // namespace
}  // namespace tunora

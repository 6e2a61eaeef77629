// The instance lock: a second player hands its start over to the first, or waits (virtual time)
// for the first to go and then ends.
#include "app/instance_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <optional>

#include "tests/settings/settings_test_bytes.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"

namespace tunora {
namespace {

using namespace std::chrono_literals;

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(InstanceLockTest, FirstPlayerTakesTheLockAtOnceAndNamesItself) {
  testing::TempDir dir;
  const std::string path = dir.file("Tunora.exe.lock");
  testing::writeText(path, "999999999999 from an earlier player\n");
  FakeEnv env;
  bool asked = false;
  InstanceLockResult first = takeInstanceLock(env, path, [&](int64_t) { return asked = true; });
  EXPECT_TRUE(first.lock.held());
  EXPECT_FALSE(first.end_program || first.handed_over || asked);
  EXPECT_EQ(env.nowMillis(), 1'000'000u);  // no wait
  EXPECT_EQ(fileText(path), std::to_string(::getpid()) + "\n");
}

// A running player that does not take the start over is asked again at each step until the
// wait ends, and not a moment before. (One that takes it over: the start-up test.)
TEST(InstanceLockTest, SecondPlayerEndsAfterTheWait) {
  testing::TempDir dir;
  FakeEnv env;
  const std::string path = dir.file("Tunora.exe.lock");
  InstanceLockResult first = takeInstanceLock(env, path, nullptr);
  ASSERT_TRUE(first.lock.held());

  std::atomic<int> tries{0};
  std::optional<InstanceLockResult> result;
  testing::EnvThread second(env, [&] {
    result.emplace(takeInstanceLock(env, path, [&](int64_t) {
      ++tries;
      return false;
    }));
  });
  ASSERT_TRUE(env.waitForSleepers(1));
  env.advance(kInstanceWait - 1ms);
  ASSERT_TRUE(env.waitUntilIdle(60s));
  EXPECT_FALSE(second.done());
  env.advance(1ms);
  ASSERT_TRUE(second.join());
  EXPECT_TRUE(result->end_program);
  EXPECT_FALSE(result->handed_over || result->lock.held());
  EXPECT_GE(tries.load(), 2);
}

TEST(InstanceLockTest, SecondPlayerGetsTheLockWhenTheFirstEndsInTime) {
  testing::TempDir dir;
  FakeEnv env;
  const std::string path = dir.file("Tunora.exe.lock");
  auto first = std::make_unique<InstanceLockResult>(takeInstanceLock(env, path, nullptr));
  std::optional<InstanceLockResult> result;
  testing::EnvThread second(env, [&] { result.emplace(takeInstanceLock(env, path, nullptr)); });
  ASSERT_TRUE(env.waitForSleepers(1));
  first.reset();  // the first player ends
  env.advance(kInstanceWaitStep);
  ASSERT_TRUE(second.join());
  EXPECT_FALSE(result->end_program);
  EXPECT_TRUE(result->lock.held());
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

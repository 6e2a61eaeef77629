// The watchdog's counts: which grants, requests and guards it frees, and which it must not.
#include "engine/watchdog.h"

#include <gtest/gtest.h>

#include "engine/lock_codes.h"
#include "tests/support/fake_env.h"

namespace tunora::engine {
namespace {

class WatchdogTest : public ::testing::Test {
 protected:
  // Ticks until something is forced free; the tick number (1-based) and the event.
  std::pair<int, WatchdogEvent> tickUntilEvent(int limit) {
    for (int tick = 1; tick <= limit; ++tick) {
      WatchdogEvent event = watchdogTick(words_, env_, checks_);
      if (event.kind != WatchdogEvent::Kind::kNone) return {tick, event};
    }
    return {0, {}};
  }
  void grant(int32_t code, bool live) {
    words_.grant.store(code);
    words_.grant_holder_live.store(live ? 1 : 0);
  }

  FakeEnv env_;
  SharedWords words_;
  StaleGrantChecks checks_;
};

TEST_F(WatchdogTest, CountsOnlyWhileTheLockIsBusy) {
  words_.request.store(kCodeRemoveRow);
  for (int i = 0; i < 5; ++i) (void)watchdogTick(words_, env_, checks_);
  EXPECT_EQ(words_.watchdog_counter.load(), 5);
  words_.request.store(0);
  (void)watchdogTick(words_, env_, checks_);
  EXPECT_EQ(words_.watchdog_counter.load(), 0);
}

TEST_F(WatchdogTest, AbandonedGrantIsClearedAfterAHundredTicks) {
  grant(kCodeDetailsLoader, false);  // handed over, but its worker had left
  auto [tick, event] = tickUntilEvent(300);
  EXPECT_EQ(tick, 101);
  EXPECT_EQ(event.kind, WatchdogEvent::Kind::kGrantCleared);
  EXPECT_EQ(event.code, kCodeDetailsLoader);
  EXPECT_EQ(words_.grant.load(), 0);
}

TEST_F(WatchdogTest, RegressionLiveHolderKeepsItsGrant) {
  // A holder still writing must keep the table to itself however long it takes; only the
  // request that waits behind it is dropped, after about 200 ticks.
  grant(kCodeListBuilder, true);
  words_.request.store(kCodeRemoveRow);
  // The 101 check moves the counter on to 110, so the count passes 200 at tick 192.
  auto [tick, event] = tickUntilEvent(300);
  EXPECT_EQ(tick, 192);
  EXPECT_EQ(event.kind, WatchdogEvent::Kind::kRequestDropped);
  EXPECT_EQ(event.code, kCodeRemoveRow);
  EXPECT_EQ(words_.grant.load(), kCodeListBuilder);
  EXPECT_EQ(tickUntilEvent(1000).first, 0);
  EXPECT_EQ(words_.grant.load(), kCodeListBuilder);
}

TEST_F(WatchdogTest, RequestNobodyTakesIsDroppedButNeverAQuit) {
  words_.request.store(kCodeSaveAsPlaylist);
  auto [tick, event] = tickUntilEvent(300);
  EXPECT_EQ(tick, 192);
  EXPECT_EQ(words_.request.load(), 0);

  words_.watchdog_counter.store(0);
  words_.request.store(kQuitRequested);
  grant(kCodeListBuilder, true);
  EXPECT_EQ(tickUntilEvent(1000).first, 0);
  EXPECT_EQ(words_.request.load(), kQuitRequested);
}

TEST_F(WatchdogTest, StaleGrantCheckAtTwentyFive) {
  bool pass_running = true;
  checks_.worker_idle[kCodeChecksumPass] = [&] { return !pass_running; };
  grant(kCodeChecksumPass, false);
  for (int i = 0; i < 25; ++i) (void)watchdogTick(words_, env_, checks_);
  EXPECT_EQ(words_.grant.load(), kCodeChecksumPass) << "cleared while its pass ran";

  words_.watchdog_counter.store(0);
  pass_running = false;
  auto [tick, event] = tickUntilEvent(30);
  EXPECT_EQ(tick, 25);
  EXPECT_EQ(event.kind, WatchdogEvent::Kind::kStaleGrantCleared);

  // The check does not override a live holder.
  words_.watchdog_counter.store(0);
  grant(kCodeChecksumPass, true);
  EXPECT_EQ(tickUntilEvent(30).first, 0);
}

TEST_F(WatchdogTest, ImportGrantIsParkedAtAThousand) {
  grant(kCodeImport, false);
  for (int i = 0; i < 25; ++i) (void)watchdogTick(words_, env_, checks_);
  EXPECT_EQ(words_.watchdog_counter.load(), 1000);
  // Parked until the counter passes 2000, then counted from 26 to the 101 check.
  auto [tick, event] = tickUntilEvent(2000);
  EXPECT_EQ(25 + tick, 1101);
  EXPECT_EQ(event.code, kCodeImport);
}

TEST_F(WatchdogTest, FreesAGuardLeftTakenOutsideAScopeOnly) {
  words_.request.store(kCodeRemoveRow);
  words_.spin_guard.store(kGuardTakenScoped);  // its taker is inside its few instructions
  EXPECT_EQ(tickUntilEvent(150).first, 0);
  EXPECT_EQ(words_.spin_guard.load(), kGuardTakenScoped);

  words_.watchdog_counter.store(0);
  words_.spin_guard.store(kGuardTakenUnscoped);
  auto [tick, event] = tickUntilEvent(150);
  EXPECT_EQ(tick, 101);
  EXPECT_EQ(event.kind, WatchdogEvent::Kind::kGuardFreed);
  EXPECT_EQ(words_.spin_guard.load(), kGuardFree);
}

}  // namespace
}  // namespace tunora::engine

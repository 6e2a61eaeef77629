// The shared lock's posting, waiting, handover and releasing, and the waits for its spin guard,
// in virtual time; and the watchdog's counts: which grants, requests and guards it frees, and
// which it must not.
#include "engine/shared_lock.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "engine/lock_codes.h"
#include "engine/request_executor.h"
#include "engine/spin_guard.h"
#include "engine/watchdog.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"

namespace tunora::engine {
namespace {

using std::chrono::milliseconds;
using testing::driveUntil;
using testing::EnvThread;
using Kind = WatchdogEvent::Kind;

class SharedLockTest : public ::testing::Test {
 protected:
  FakeEnv env_;
  SharedWords words_;
  SharedLock lock_{words_, env_};
  RequestExecutor executor_{lock_};
};

TEST_F(SharedLockTest, PostRequestRefusesDuringQuitAndWhileGranted) {
  EXPECT_EQ(lock_.postRequest(kCodeRemoveRow, 3, 10), 1);
  EXPECT_EQ(words_.request.load(), kCodeRemoveRow);
  EXPECT_EQ(words_.request_parameter.load(), 3);
  EXPECT_EQ(lock_.postRequest(kCodeRemoveRow, 4, 10), 1);  // already posted by this code
  EXPECT_EQ(words_.waiter_count.load(), 0);
  lock_.releaseRequest();
  EXPECT_EQ(words_.request.load(), 0);
  EXPECT_EQ(words_.last_released.load(), kCodeRemoveRow);
  ASSERT_EQ(lock_.postRequest(kCodeRemoveRow, 3, 10), 1);

  words_.request.store(kQuitInProgress);
  EXPECT_EQ(lock_.postRequest(kCodeRemoveRow, 0, 10), -1);
  EXPECT_EQ(lock_.postRequest(kQuitRequested, 0, 0), -1);  // 66 does not undo 665
  EXPECT_EQ(words_.request.load(), kQuitInProgress);
  EXPECT_FALSE(lock_.requestAndWait(kCodeListBuilder, 0, 10));

  words_.request.store(0);
  words_.grant.store(kCodeListBuilder);
  EXPECT_EQ(lock_.postRequest(kCodeListBuilder, 0, 10), -1);
  EXPECT_EQ(words_.waiter_count.load(), 0);
}

TEST_F(SharedLockTest, ExecutorRunsWindowCodesAndReleasesTheGrant) {
  int32_t seen_parameter = -1;
  int32_t grant_during_work = 0;
  executor_.setHandler(kCodeClearList, [&](int32_t parameter) {
    seen_parameter = parameter;
    grant_during_work = words_.grant.load();
  });
  ASSERT_EQ(lock_.postRequest(kCodeClearList, 7, 10), 1);
  EXPECT_EQ(executor_.run(), kCodeClearList);
  EXPECT_EQ(seen_parameter, 7);
  EXPECT_EQ(grant_during_work, kCodeClearList);
  EXPECT_EQ(words_.grant.load(), 0);
  EXPECT_EQ(words_.request.load(), 0);
  EXPECT_EQ(words_.last_released.load(), kCodeClearList);
  EXPECT_EQ(words_.executor_busy.load(), 0);

  // Nothing to do: a held grant, a waiting quit, another executor running.
  words_.grant.store(kCodePlayer);
  ASSERT_EQ(lock_.postRequest(kCodeRemoveRow, 0, 10), 1);
  EXPECT_EQ(executor_.run(), 0);
  words_.grant.store(0);
  words_.executor_busy.store(1);
  EXPECT_EQ(executor_.run(), 0);
  EXPECT_EQ(words_.executor_busy.load(), 1);  // left as it was
  words_.executor_busy.store(0);
  ASSERT_EQ(lock_.postRequest(kQuitRequested, 0, 0), 1);
  EXPECT_EQ(executor_.run(), 0);
  EXPECT_EQ(lock_.handOver().code, 0) << "a quit is never handed over";
  EXPECT_EQ(words_.request.load(), kQuitRequested);
  EXPECT_EQ(words_.grant.load(), 0);
}

TEST_F(SharedLockTest, WorkerClaimsItsGrantAndReleasesItOnEveryPath) {
  bool got = false;
  int32_t live = 0;
  EnvThread worker(env_, [&] {
    Grant grant = lock_.requestAndWait(kCodeListBuilder, 0, 10);
    got = static_cast<bool>(grant);
    live = words_.grant_holder_live.load();
  });  // the grant goes on the way out
  ASSERT_TRUE(driveUntil(env_, [&] { return words_.request.load() == kCodeListBuilder; }));
  EXPECT_EQ(executor_.run(), kCodeListBuilder);
  EXPECT_EQ(words_.grant.load(), kCodeListBuilder);
  EXPECT_EQ(words_.grant_holder_live.load(), 0);  // handed over, not yet claimed
  ASSERT_TRUE(worker.join());
  EXPECT_TRUE(got);
  EXPECT_EQ(live, 1);
  EXPECT_EQ(words_.grant.load(), 0);
  EXPECT_EQ(words_.grant_holder_live.load(), 0);
}

// A poster that finds the request word taken: patience 5 or more gives up after 20 sleeps of
// patience x 8 ms; less keeps trying until the word frees.
TEST_F(SharedLockTest, PatienceDecidesWhetherAPosterGivesUp) {
  for (int32_t patience : {4, 5}) {
    words_.request.store(kCodeRemoveRow);
    const uint64_t start = env_.nowMillis();
    int32_t posted = 0;
    uint64_t when = 0;
    EnvThread poster(env_, [&] {
      posted = lock_.postRequest(kCodeSaveAsPlaylist, 0, patience);
      when = env_.nowMillis();
    });
    ASSERT_TRUE(testing::driveFor(env_, milliseconds(4000)));
    words_.request.store(0);
    ASSERT_TRUE(poster.join());
    EXPECT_EQ(posted, patience >= 5 ? -1 : 1) << "patience " << patience;
    if (patience >= 5) {
      EXPECT_GE(when - start, 20u * 8u * static_cast<uint64_t>(patience));
    }
    EXPECT_EQ(words_.waiter_count.load(), 0);
  }
}

TEST_F(SharedLockTest, TryPostRequestNeverWaitsForABusyLock) {
  words_.request.store(kCodeListBuilder);
  const uint64_t t0 = env_.nowMillis();
  EXPECT_EQ(lock_.tryPostRequest(kCodeRemoveRow, 1), -1);  // returns without the clock moving
  EXPECT_EQ(env_.nowMillis(), t0);
  EXPECT_EQ(words_.request.load(), kCodeListBuilder);
  words_.request.store(0);
  words_.grant.store(kCodeRemoveRow);
  EXPECT_EQ(lock_.tryPostRequest(kCodeRemoveRow, 1), -1) << "granted already";
  words_.grant.store(0);
  EXPECT_EQ(lock_.tryPostRequest(kCodeRemoveRow, 7), 1);
  EXPECT_EQ(words_.request_parameter.load(), 7);
  EXPECT_EQ(lock_.tryPostRequest(kCodeRemoveRow, 8), 1) << "already posted by this code";
  EXPECT_EQ(words_.waiter_count.load(), 0);
  words_.request.store(kQuitFinal);
  EXPECT_EQ(lock_.tryPostRequest(kCodeRemoveRow, 1), -1);
}

TEST_F(SharedLockTest, WindowRequestThatFindsTheLockBusyIsKeptAndPostedLater) {
  // Free: posted at once.
  EXPECT_EQ(lock_.postOrDefer(kCodeRemoveRow, 1), 1);
  EXPECT_FALSE(lock_.hasDeferred());
  words_.request.store(0);

  // A worker's request waits: kept, without the clock moving; a later click replaces it.
  words_.request.store(kCodeDetailsLoader);
  const uint64_t start = env_.nowMillis();
  EXPECT_EQ(lock_.postOrDefer(kCodeDropRowsAndPlay, 2), 0);
  EXPECT_EQ(lock_.postOrDefer(kCodeDropRowsAndPlay, 4), 0);
  EXPECT_EQ(env_.nowMillis(), start);
  EXPECT_TRUE(lock_.hasDeferred());
  lock_.postDeferred();  // still taken: kept
  EXPECT_EQ(words_.request.load(), kCodeDetailsLoader);
  EXPECT_TRUE(lock_.hasDeferred());
  words_.request.store(0);
  words_.grant.store(kCodeDetailsLoader);  // handed over: the request word is free
  lock_.postDeferred();
  EXPECT_EQ(words_.request.load(), kCodeDropRowsAndPlay);
  EXPECT_EQ(words_.request_parameter.load(), 4);
  EXPECT_FALSE(lock_.hasDeferred());
  words_.request.store(0);
  words_.grant.store(0);

  // Its own code granted (the first click's work runs): kept until that is done.
  words_.grant.store(kCodeDropRowsAndPlay);
  EXPECT_EQ(lock_.postOrDefer(kCodeDropRowsAndPlay, 1), 0);
  lock_.postDeferred();
  EXPECT_EQ(words_.request.load(), 0);
  words_.grant.store(0);
  lock_.postDeferred();
  EXPECT_EQ(words_.request.load(), kCodeDropRowsAndPlay);
  words_.request.store(0);

  // Too old: dropped.
  words_.request.store(kCodeChecksumPass);
  EXPECT_EQ(lock_.postOrDefer(kCodeRemoveRow, 0), 0);
  env_.advance(kDeferredPatience + milliseconds(1));
  words_.request.store(0);
  lock_.postDeferred();
  EXPECT_EQ(words_.request.load(), 0);
  EXPECT_FALSE(lock_.hasDeferred());

  // A quit: refused, and one kept before is dropped.
  words_.request.store(kCodeChecksumPass);
  EXPECT_EQ(lock_.postOrDefer(kCodeRemoveRow, 0), 0);
  words_.request.store(kQuitRequested);
  EXPECT_EQ(lock_.postOrDefer(kCodeRemoveRow, 0), -1);
  lock_.postDeferred();
  EXPECT_FALSE(lock_.hasDeferred());
  EXPECT_EQ(words_.request.load(), kQuitRequested);
  words_.request.store(0);
  words_.stopping.store(1);
  EXPECT_EQ(lock_.postOrDefer(kCodeRemoveRow, 0), -1);
  EXPECT_FALSE(lock_.hasDeferred());
}

// The release of a grant does not wait on the clock: it blocks on the guard word, and the guard's
// release wakes it.
TEST_F(SharedLockTest, ReleasingAGrantBlocksOnTheGuardUntilItsHolderLetsGo) {
  Grant grant = lock_.takeGrantDirectly(kCodeImport);
  EXPECT_EQ(words_.grant_holder_live.load(), 1) << "a direct taker is a live holder";
  EXPECT_FALSE(lock_.takeGrantDirectly(kCodeListBuilder)) << "taken";
  std::optional<SpinGuardScope> guard;
  guard.emplace(words_, env_);
  ASSERT_TRUE(guard->held());
  std::atomic<bool> started{false};
  std::atomic<bool> released{false};
  std::thread releaser([&] {
    started.store(true);
    grant = Grant();
    released.store(true);
  });
  while (!started.load()) std::this_thread::yield();
  // Time for the releaser to block on the guard (it cannot finish while the guard is held).
  for (int i = 0; i < 1000; ++i) std::this_thread::yield();
  EXPECT_EQ(words_.grant.load(), kCodeImport);
  guard.reset();
  // A release that is not woken stays blocked: bounded here, then woken by hand to end the test.
  const auto give_up = std::chrono::steady_clock::now() + testing::kHangGuard;
  while (!released.load() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_TRUE(released.load()) << "the guard's release did not wake the blocked releaser";
  words_.spin_guard.notify_all();
  releaser.join();
  EXPECT_EQ(words_.grant.load(), 0);
  EXPECT_EQ(words_.grant_holder_live.load(), 0);
  EXPECT_EQ(words_.spin_guard.load(), kGuardFree);
}

TEST_F(SharedLockTest, QuitTakesTheRequestWordOverFromAWaitingWorker) {
  bool granted = true;
  EnvThread builder(env_, [&] { granted = static_cast<bool>(lock_.requestAndWait(34, 0, 10)); });
  ASSERT_TRUE(driveUntil(env_, [&] { return words_.request.load() == kCodeListBuilder; }));
  EXPECT_EQ(lock_.postRequest(kQuitRequested, 0, 0), 1);
  EXPECT_EQ(words_.request.load(), kQuitRequested);
  ASSERT_TRUE(builder.join());
  EXPECT_FALSE(granted);
  EXPECT_EQ(words_.request.load(), kQuitRequested);  // not withdrawn by the builder
  EXPECT_EQ(words_.grant.load(), 0);
}

// A guard taken outside a scope has no holder that would wake anyone (the watchdog frees it much
// later): its taker sleeps through the clock between tries, so it still sees the program stop.
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

// From a fresh count, over `ticks` ticks: the tick at which something is forced free (0: none),
// what and whose, and the words left. A live holder keeps its grant however long it writes.
TEST(WatchdogTest, WhatIsForcedFreeAndWhen) {
  struct Case {
    const char* name;
    int32_t grant;
    bool live;
    int32_t request, guard;
    bool worker_idle;  // the checksum pass's stale-grant check
    int ticks, tick;
    Kind kind;
    int32_t code, grant_after, request_after, guard_after;
  };
  const int32_t free_ = kGuardFree;
  const Case cases[] = {
      {"grant whose worker had left", kCodeDetailsLoader, false, 0, free_, false, 300, 101,
       Kind::kGrantCleared, kCodeDetailsLoader, 0, 0, free_},
      // RegressionLiveHolderKeepsItsGrant: only the request behind it is dropped; the 101 check
      // moves the counter on to 110, so the count passes 200 at tick 192.
      {"live holder", kCodeListBuilder, true, kCodeRemoveRow, free_, false, 1200, 192,
       Kind::kRequestDropped, kCodeRemoveRow, kCodeListBuilder, 0, free_},
      {"request nobody takes", 0, false, kCodeSaveAsPlaylist, free_, false, 300, 192,
       Kind::kRequestDropped, kCodeSaveAsPlaylist, 0, 0, free_},
      {"a quit is never dropped", kCodeListBuilder, true, kQuitRequested, free_, false, 1000, 0,
       Kind::kNone, 0, kCodeListBuilder, kQuitRequested, free_},
      {"stale grant, pass idle", kCodeChecksumPass, false, 0, free_, true, 30, 25,
       Kind::kStaleGrantCleared, kCodeChecksumPass, 0, 0, free_},
      {"stale grant, pass running", kCodeChecksumPass, false, 0, free_, false, 25, 0, Kind::kNone,
       0, kCodeChecksumPass, 0, free_},
      {"stale check, live holder", kCodeChecksumPass, true, 0, free_, true, 30, 0, Kind::kNone, 0,
       kCodeChecksumPass, 0, free_},
      // Parked at 1000 at tick 25 until the count passes 2000, then counted from 26 to 101.
      {"import grant", kCodeImport, false, 0, free_, false, 2000, 1101, Kind::kGrantCleared,
       kCodeImport, 0, 0, free_},
      {"guard of a scope", 0, false, kCodeRemoveRow, kGuardTakenScoped, false, 150, 0, Kind::kNone,
       0, 0, kCodeRemoveRow, kGuardTakenScoped},
      {"guard left taken", 0, false, kCodeRemoveRow, kGuardTakenUnscoped, false, 150, 101,
       Kind::kGuardFreed, 0, 0, kCodeRemoveRow, free_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeEnv env;
    SharedWords words;
    StaleGrantChecks checks;
    checks.worker_idle[kCodeChecksumPass] = [&] { return c.worker_idle; };
    words.grant.store(c.grant);
    words.grant_holder_live.store(c.live ? 1 : 0);
    words.request.store(c.request);
    words.spin_guard.store(c.guard);
    int tick = 0, events = 0;
    WatchdogEvent event;
    for (int t = 1; t <= c.ticks; ++t) {
      const WatchdogEvent e = watchdogTick(words, env, checks);
      if (e.kind == Kind::kNone) continue;
      if (events++ == 0) {
        tick = t;
        event = e;
      }
    }
    EXPECT_EQ(tick, c.tick);
    EXPECT_EQ(events, c.kind == Kind::kNone ? 0 : 1) << "nothing more is freed later";
    EXPECT_EQ(event.kind, c.kind);
    if (c.kind != Kind::kGuardFreed) {
      EXPECT_EQ(event.code, c.code);
    }
    EXPECT_EQ(words.grant.load(), c.grant_after);
    EXPECT_EQ(words.request.load(), c.request_after);
    EXPECT_EQ(words.spin_guard.load(), c.guard_after);
  }
}

}  // namespace
}  // namespace tunora::engine

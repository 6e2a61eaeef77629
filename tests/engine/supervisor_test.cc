// The supervisor's tick: its length, the key-digit windows, the offline countdown and the
// workers it starts.
#include <gtest/gtest.h>

#include <atomic>

#include "engine/lock_codes.h"
#include "tests/engine/program_fixture.h"

namespace tunora::engine {
namespace {

using std::chrono::milliseconds;
using testing::driveUntil;

class SupervisorTest : public testing::ProgramTest {
 protected:
  Supervisor& supervisor() { return program_.supervisor(); }
  SharedWords& words() { return program_.words(); }
};

TEST_F(SupervisorTest, TickIsShortOnlyWhileARequestWaitsDuringPlayback) {
  EXPECT_EQ(supervisor().tickLength(), milliseconds(1000));
  words().request.store(kCodeRemoveRow);
  EXPECT_EQ(supervisor().tickLength(), milliseconds(1000));
  words().playing.store(1);
  EXPECT_EQ(supervisor().tickLength(), milliseconds(50));
  words().grant.store(kCodePlayer);
  EXPECT_EQ(supervisor().tickLength(), milliseconds(1000));
  words().grant.store(0);
  words().request.store(0);
}

TEST_F(SupervisorTest, DigitWindowsCloseAfterTwentyTicks) {
  words().user_digit_counter.store(kDigitWindowTicks);
  for (int i = 0; i < 19; ++i) ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().user_digit_counter.load(), 1);
  ASSERT_TRUE(supervisor().tick());
  ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().user_digit_counter.load(), 0);
  EXPECT_EQ(words().alt_digit_counter.load(), 0);
}

TEST_F(SupervisorTest, OfflineCountdownAsksForABuildAfterSixHundredTicks) {
  words().build_request.store(kOfflineStart);
  for (int i = 0; i < 600; ++i) ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().build_request.load(), kOfflineLastCount);
  ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().build_request.load(), kBuildNow);

  words().build_request.store(kOfflineLocked);
  ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().build_request.load(), kOfflineLocked);

  words().build_request.store(kOfflineStart);
  words().grant.store(kCodeListBuilder);
  words().grant_holder_live.store(1);
  ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().build_request.load(), kOfflineStart) << "counted while the table was held";
  words().grant.store(0);
  words().grant_holder_live.store(0);
}

// The program tells the watchdog when the checksum pass is idle: a grant of its code left
// behind without a live holder is cleared at the stale check (the 25th tick), not after 200.
TEST_F(SupervisorTest, ClearsAChecksumGrantLeftWhileThePassIsIdle) {
  words().request.store(kCodeRemoveRow);
  words().grant.store(kCodeChecksumPass);
  words().grant_holder_live.store(0);
  for (int i = 0; i < 24; ++i) ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().grant.load(), kCodeChecksumPass);
  ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().grant.load(), 0);
  words().request.store(0);
}

TEST_F(SupervisorTest, StartsAtMostOneWorkerPerTickWhilePlaying) {
  std::atomic<int> cover_runs{0}, links_runs{0};
  std::atomic<bool> release{false};
  supervisor().addWorker([] { return true; },
                         [&] {
                           cover_runs.fetch_add(1);
                           while (!release.load()) env_.sleepFor(std::chrono::milliseconds(10));
                         });
  supervisor().addWorker([] { return true; }, [&] { links_runs.fetch_add(1); });

  ASSERT_TRUE(supervisor().tick());  // not playing: nothing starts
  EXPECT_FALSE(supervisor().workerRunning(0));
  words().playing.store(1);
  ASSERT_TRUE(supervisor().tick());
  EXPECT_TRUE(supervisor().workerRunning(0));
  ASSERT_TRUE(supervisor().tick());  // the first still runs: the second's turn
  ASSERT_TRUE(driveUntil(env_, [&] { return links_runs.load() == 1; }));
  release.store(true);
  ASSERT_TRUE(driveUntil(env_, [&] { return !supervisor().workerRunning(0); }));
  EXPECT_EQ(cover_runs.load(), 1);

  words().grant.store(kCodePlayer);  // nothing starts while a grant is held
  words().grant_holder_live.store(1);
  int before = links_runs.load();
  ASSERT_TRUE(supervisor().tick());
  EXPECT_FALSE(supervisor().workerRunning(0));
  EXPECT_EQ(links_runs.load(), before);
  words().grant.store(0);
  words().grant_holder_live.store(0);
  words().playing.store(0);
}

// A worker that never touches the database (the cover loader) starts while a grant is held or a
// request waits for the executor; the database's workers wait for a free lock.
TEST_F(SupervisorTest, AWorkerThatNeedsNoLockStartsWhileTheLockIsBusy) {
  std::atomic<int> free_runs{0}, lock_runs{0};
  supervisor().addWorker([] { return true; }, [&] { lock_runs.fetch_add(1); });
  supervisor().addWorker([] { return true; }, [&] { free_runs.fetch_add(1); },
                         WorkerNeeds::kNothing);
  words().grant.store(kCodeChecksumPass);
  words().grant_holder_live.store(1);
  words().request.store(kCodeListBuilder);
  ASSERT_TRUE(supervisor().tick());  // not playing: nothing starts
  ASSERT_TRUE(driveUntil(env_, [&] { return program_.threads().running() == 0; }));
  EXPECT_EQ(free_runs.load(), 0);
  words().playing.store(1);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(supervisor().tick());
    ASSERT_TRUE(driveUntil(env_, [&] { return program_.threads().running() == 0; }));
  }
  EXPECT_EQ(free_runs.load(), 3);
  EXPECT_EQ(lock_runs.load(), 0);
  words().request.store(0);
  words().grant.store(0);
  words().grant_holder_live.store(0);
  ASSERT_TRUE(supervisor().tick());
  ASSERT_TRUE(driveUntil(env_, [&] { return program_.threads().running() == 0; }));
  EXPECT_EQ(lock_runs.load(), 1);
  EXPECT_EQ(free_runs.load(), 4);
  words().playing.store(0);
}

TEST_F(SupervisorTest, PostsTheWindowsKeptRequestOnceTheLockIsFree) {
  std::atomic<int32_t> done{-1};
  program_.executor().setHandler(kCodeDropRowsAndPlay, [&](int32_t k) { done.store(k); });
  words().request.store(kCodeDetailsLoader);
  ASSERT_EQ(program_.lock().postOrDefer(kCodeDropRowsAndPlay, 2), 0);
  words().playing.store(1);
  EXPECT_EQ(supervisor().tickLength(), milliseconds(50));  // a request waits
  words().request.store(0);                                // the worker's request went
  EXPECT_EQ(supervisor().tickLength(), milliseconds(50));  // the kept one waits
  ASSERT_TRUE(supervisor().tick());                        // posts it and starts the executor
  ASSERT_TRUE(driveUntil(env_, [&] { return done.load() == 2; }));
  ASSERT_TRUE(driveUntil(env_, [&] { return program_.threads().running() == 0; }));
  EXPECT_FALSE(program_.lock().hasDeferred());
  EXPECT_EQ(words().request.load(), 0);
  EXPECT_EQ(words().grant.load(), 0);
  words().playing.store(0);
}

TEST_F(SupervisorTest, HandsWaitingRequestsToTheExecutorAndEndsOnQuit) {
  std::atomic<int> done{0};
  program_.executor().setHandler(kCodeMoveRowToTop, [&](int32_t) { done.fetch_add(1); });
  ASSERT_EQ(program_.lock().postRequest(kCodeMoveRowToTop, 0, 10), 1);
  ASSERT_TRUE(supervisor().tick());
  ASSERT_TRUE(driveUntil(env_, [&] { return done.load() == 1; }));
  ASSERT_TRUE(driveUntil(env_, [&] { return program_.threads().running() == 0; }));
  ASSERT_EQ(program_.lock().postRequest(kQuitRequested, 0, 0), 1);
  EXPECT_FALSE(supervisor().tick());
  EXPECT_EQ(words().request.load(), kQuitInProgress);
}

}  // namespace
}  // namespace tunora::engine

// The program's threads in virtual time: the supervisor's tick (its length, the key-digit
// windows, the offline countdown, the workers it starts), the builder thread, and the quit with
// the update writer.
#include <gtest/gtest.h>

#include <atomic>

#include "engine/lock_codes.h"
#include "tests/engine/builder_fixture.h"
#include "tests/engine/program_test.h"

namespace tunora::engine {
namespace {

using std::chrono::milliseconds;
using testing::driveUntil;

class SupervisorTest : public testing::ProgramTest {
 protected:
  static constexpr size_t kFirst = 1;  // the test's first worker: the player's details loader is 0
  Supervisor& supervisor() { return program_.supervisor(); }
  SharedWords& words() { return program_.words(); }
  bool tickAndSettle() {
    return supervisor().tick() &&
           driveUntil(env_, [&] { return program_.threads().running() == 0; });
  }
};

TEST_F(SupervisorTest, TickIsShortOnlyWhileARequestWaitsDuringPlayback) {
  EXPECT_EQ(supervisor().tickLength(), milliseconds(1000));
  words().request.store(kCodeRemoveRow);
  EXPECT_EQ(supervisor().tickLength(), milliseconds(1000));
  words().playing.store(1);
  EXPECT_EQ(supervisor().tickLength(), milliseconds(50));
  words().grant.store(kCodePlayer);
  EXPECT_EQ(supervisor().tickLength(), milliseconds(1000));
}

TEST_F(SupervisorTest, DigitWindowsAndTheOfflineCountdown) {
  words().user_digit_counter.store(kDigitWindowTicks);
  for (int i = 0; i < 19; ++i) ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().user_digit_counter.load(), 1);
  ASSERT_TRUE(supervisor().tick());
  ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().user_digit_counter.load(), 0);
  EXPECT_EQ(words().alt_digit_counter.load(), 0);

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
}

// The program tells the watchdog when the checksum pass is idle: a grant of its code left
// behind without a live holder is cleared at the stale check (the 25th tick), not after 200.
TEST_F(SupervisorTest, ClearsAChecksumGrantLeftWhileThePassIsIdle) {
  words().request.store(kCodeRemoveRow);
  words().grant.store(kCodeChecksumPass);
  for (int i = 0; i < 24; ++i) ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().grant.load(), kCodeChecksumPass);
  ASSERT_TRUE(supervisor().tick());
  EXPECT_EQ(words().grant.load(), 0);
}

TEST_F(SupervisorTest, StartsAtMostOneWorkerPerTickWhilePlaying) {
  std::atomic<int> cover_runs{0}, links_runs{0};
  std::atomic<bool> release{false};
  supervisor().addWorker([] { return true; },
                         [&] {
                           cover_runs.fetch_add(1);
                           while (!release.load()) env_.sleepFor(milliseconds(10));
                         });
  supervisor().addWorker([] { return true; }, [&] { links_runs.fetch_add(1); });
  ASSERT_TRUE(supervisor().tick());  // not playing: nothing starts
  EXPECT_FALSE(supervisor().workerRunning(kFirst));
  words().playing.store(1);
  ASSERT_TRUE(supervisor().tick());
  EXPECT_TRUE(supervisor().workerRunning(kFirst));
  ASSERT_TRUE(supervisor().tick());  // the first still runs: the second's turn
  ASSERT_TRUE(driveUntil(env_, [&] { return links_runs.load() == 1; }));
  release.store(true);
  ASSERT_TRUE(driveUntil(env_, [&] { return !supervisor().workerRunning(kFirst); }));
  EXPECT_EQ(cover_runs.load(), 1);
  words().grant.store(kCodePlayer);  // nothing starts while a grant is held
  words().grant_holder_live.store(1);
  ASSERT_TRUE(supervisor().tick());
  EXPECT_FALSE(supervisor().workerRunning(kFirst));
  EXPECT_EQ(links_runs.load(), 1);
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
  ASSERT_TRUE(tickAndSettle());  // not playing: nothing starts
  EXPECT_EQ(free_runs.load(), 0);
  words().playing.store(1);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(tickAndSettle());
  EXPECT_EQ(free_runs.load(), 3);
  EXPECT_EQ(lock_runs.load(), 0);
  words().request.store(0);
  words().grant.store(0);
  words().grant_holder_live.store(0);
  ASSERT_TRUE(tickAndSettle());
  EXPECT_EQ(lock_runs.load(), 1);
  EXPECT_EQ(free_runs.load(), 4);
}

TEST_F(SupervisorTest, PostsTheWindowsKeptRequestOnceTheLockIsFree) {
  std::atomic<int32_t> done{-1};
  program_.executor().setHandler(kCodeDropRowsAndPlay, [&](int32_t k) { done.store(k); });
  words().request.store(kCodeDetailsLoader);
  ASSERT_EQ(program_.lock().postOrDefer(kCodeDropRowsAndPlay, 2), 0);
  words().playing.store(1);
  words().request.store(0);                                // the worker's request went
  EXPECT_EQ(supervisor().tickLength(), milliseconds(50));  // the kept one waits
  ASSERT_TRUE(tickAndSettle());                            // posts it and starts the executor
  EXPECT_EQ(done.load(), 2);
  EXPECT_FALSE(program_.lock().hasDeferred());
  EXPECT_EQ(words().request.load(), 0);
  EXPECT_EQ(words().grant.load(), 0);
}

TEST_F(SupervisorTest, HandsWaitingRequestsToTheExecutorAndEndsOnQuit) {
  std::atomic<int> done{0};
  program_.executor().setHandler(kCodeMoveRowToTop, [&](int32_t) { done.fetch_add(1); });
  ASSERT_EQ(program_.lock().postRequest(kCodeMoveRowToTop, 0, 10), 1);
  ASSERT_TRUE(tickAndSettle());
  EXPECT_EQ(done.load(), 1);
  ASSERT_EQ(program_.lock().postRequest(kQuitRequested, 0, 0), 1);
  EXPECT_FALSE(supervisor().tick());
  EXPECT_EQ(words().request.load(), kQuitInProgress);
  EXPECT_EQ(done.load(), 1) << "a quit is never handed to the executor";
}

// With the supervisor handing over the lock, the builder fills the play list to ListSize,
// writes the state's play-list file and goes idle until the list falls below 10; a quit ends it.
class BuilderThreadTest : public testing::ProgramTest {};

TEST_F(BuilderThreadTest, FillsTheListWritesItsFileAndEndsAtTheQuit) {
  ASSERT_TRUE(testing::writeSongTable(path_, testing::plainSongs(40)));
  Settings& settings = program_.settings();
  settings = testing::firstRunSettings();
  settings.setText(settings::kDatabasePath, path_);
  settings.set(settings::kListSize, 12);
  program_.library().openLibraryForReading();  // start-up opens the library once
  program_.songTable().close();
  ASSERT_TRUE(program_.startSupervisor());
  ASSERT_TRUE(program_.startBuilder());
  // The builder asks for a build itself (fewer than 10 songs prepared) and passes follow.
  auto filled = [&] { return program_.playList().size() == 12; };
  ASSERT_TRUE(driveUntil(
      env_, [&] { return program_.words().build_request.load() == kBuildIdle && filled(); },
      milliseconds(50)));
  EXPECT_TRUE(std::filesystem::exists(dir_.file("PL1.m3u")));
  EXPECT_EQ(program_.builder().memory().miss_count, 1u);  // the pick that filled the list
  program_.playList().removeFirst(2);
  ASSERT_TRUE(testing::driveFor(env_, std::chrono::seconds(30), milliseconds(50)));
  EXPECT_EQ(program_.playList().size(), 10);
  program_.playList().removeFirst(1);
  ASSERT_TRUE(driveUntil(env_, filled, milliseconds(50)));
  program_.closeWindow();
  ASSERT_TRUE(driveUntil(
      env_, [&] { return program_.builder().stage() == 100; }, milliseconds(50)));
}

class QuitTest : public testing::ProgramTest {
 protected:
  // `count` updates of the play count, slots 1, 2, 3, 1, ... getting 10, 11, 12, ...
  void queue(int count, uint32_t key_of_slot1 = 101) {
    for (int i = 0; i < count; ++i) {
      const int32_t slot = 1 + i % 3;
      const uint32_t key = slot == 1 ? key_of_slot1 : 100 + static_cast<uint32_t>(slot);
      ASSERT_EQ(program_.updateWriter().queueUpdate(slot, kColPlayCount, 10 + i, 0, key), 0);
    }
  }
  // Closes the window and runs the clock until the quit has ended every thread.
  void quit() {
    ASSERT_TRUE(program_.startSupervisor());
    program_.closeWindow();
    EXPECT_EQ(program_.words().request.load(), kQuitRequested);
    ASSERT_TRUE(driveUntil(
        env_, [&] { return window_.received(kCommandFinishQuit); }, milliseconds(10)));
    ASSERT_TRUE(driveUntil(env_, [&] { return program_.threads().running() == 0; }));
    EXPECT_EQ(program_.words().request.load(), kQuitFinal);
  }
};

// Up to 5 queued updates are dropped at the quit; more are written before the window closes, the
// newest of each slot winning, and never into a slot that now holds another song.
TEST_F(QuitTest, ThreeQueuedUpdatesAreDropped) {
  queue(3);
  quit();
  EXPECT_EQ(playCount(1), 0u);
  EXPECT_EQ(program_.updateQueue().length(), 3);
}

TEST_F(QuitTest, SixQueuedUpdatesAreWrittenButNotIntoAReusedSlot) {
  queue(6, /*key_of_slot1=*/999);  // slot 1 now holds another song
  quit();
  EXPECT_EQ(playCount(1), 0u);
  EXPECT_EQ(playCount(2), 14u);  // slots 1..3 got 10..12, then 13..15
  EXPECT_EQ(playCount(3), 15u);
  EXPECT_EQ(program_.updateQueue().length(), -1);
}

TEST_F(QuitTest, SecondCloseWhileQuittingAbortsOrFinishes) {
  program_.closeWindow();
  program_.closeWindow();
  EXPECT_EQ(program_.words().abort.load(), 1);
  program_.words().request.store(kQuitInProgress);
  program_.closeWindow();
  EXPECT_EQ(program_.words().request.load(), kQuitFinal);
  program_.closeWindow();
  EXPECT_TRUE(window_.received(kCommandFinishQuit));
}

TEST_F(QuitTest, QuitWhileAWriterRunsLosesNothing) {
  queue(6, /*key_of_slot1=*/999);
  ASSERT_TRUE(program_.startSupervisor());
  // A writer starts while the lock is held: it sleeps 10 s before it even posts.
  Grant other = program_.lock().takeGrantDirectly(kCodeListBuilder);
  ASSERT_TRUE(other);
  ASSERT_TRUE(program_.updateWriter().startWriterThread());
  ASSERT_TRUE(env_.waitUntilIdle(std::chrono::seconds(60)));
  ASSERT_TRUE(program_.updateWriter().running());
  other.release();
  // The quit's writer waits 5 s for it, then ends the quit without writing.
  const uint64_t closed_at = env_.nowMillis();
  program_.closeWindow();
  ASSERT_TRUE(driveUntil(
      env_, [&] { return window_.received(kCommandFinishQuit); }, milliseconds(10)));
  EXPECT_LT(env_.nowMillis() - closed_at, 10'000u);
  EXPECT_TRUE(program_.updateWriter().quitLeftEntries());
  EXPECT_EQ(playCount(2), 0u);
  EXPECT_EQ(program_.updateQueue().length(), 6);
  {  // the window stops the threads: the entries are written then
    testing::ClockDriver clock(env_, milliseconds(100));
    program_.stopThreads();
  }
  EXPECT_EQ(playCount(1), 0u);
  EXPECT_EQ(playCount(2), 14u);
  EXPECT_EQ(playCount(3), 15u);
  EXPECT_EQ(program_.updateQueue().length(), -1);
}

TEST_F(QuitTest, TheWriterStartsOnceTheQueueHoldsMoreThan150) {
  ASSERT_TRUE(program_.startSupervisor());
  for (int i = 0; i <= kWriterStartLength; ++i) {
    EXPECT_FALSE(program_.updateWriter().running()) << i << " queued";
    ASSERT_EQ(program_.updateWriter().queueUpdate(1, kColPlayCount, 7, 0, 101), 0);
  }
  ASSERT_TRUE(driveUntil(
      env_, [&] { return program_.updateQueue().length() == -1; }, milliseconds(10)));
  EXPECT_EQ(playCount(1), 7u);
  quit();
}

TEST_F(QuitTest, FullQueueRefusesUpdates) {
  program_.words().build_request.store(kBuildNow);  // keeps the writer from starting
  for (int i = 0; i < kUpdateQueueCapacity; ++i) {
    ASSERT_EQ(program_.updateWriter().queueUpdate(1, kColPlayCount, 1, 0, 101), 0);
  }
  EXPECT_EQ(program_.updateWriter().queueUpdate(1, kColPlayCount, 1, 0, 101), -1);
  EXPECT_EQ(program_.updateQueue().length(), kUpdateQueueCapacity);
}

}  // namespace
}  // namespace tunora::engine

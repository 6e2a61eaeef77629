// The quit sequence and the update writer, through a program object in virtual time.
#include <gtest/gtest.h>

#include "engine/lock_codes.h"
#include "tests/engine/program_fixture.h"

namespace tunora::engine {
namespace {

using testing::driveUntil;

class QuitTest : public testing::ProgramTest {
 protected:
  void queue(int count, uint32_t key_of_slot1 = 101) {
    for (int i = 0; i < count; ++i) {
      int32_t slot = 1 + i % 3;
      uint32_t key = slot == 1 ? key_of_slot1 : 100 + static_cast<uint32_t>(slot);
      ASSERT_EQ(program_.updateWriter().queueUpdate(slot, kColPlayCount, 10 + i, 0, key), 0);
    }
  }
  // Closes the window and runs the clock until the quit has ended every thread.
  void quit() {
    ASSERT_TRUE(program_.startSupervisor());
    program_.closeWindow();
    EXPECT_EQ(program_.words().request.load(), kQuitRequested);
    ASSERT_TRUE(driveUntil(
        env_, [&] { return window_.received(kCommandFinishQuit); }, std::chrono::milliseconds(10)));
    ASSERT_TRUE(driveUntil(env_, [&] { return program_.threads().running() == 0; }));
    EXPECT_EQ(program_.words().request.load(), kQuitFinal);
  }
};

TEST_F(QuitTest, ThreeQueuedUpdatesAreDropped) {
  queue(3);
  quit();
  EXPECT_EQ(playCount(1), 0u);
  EXPECT_EQ(program_.updateQueue().length(), 3);
}

TEST_F(QuitTest, SixQueuedUpdatesAreWrittenBeforeTheWindowCloses) {
  queue(6);
  quit();
  // The newest update of each slot wins: slots 1..3 got 10..12, then 13..15.
  EXPECT_EQ(playCount(1), 13u);
  EXPECT_EQ(playCount(2), 14u);
  EXPECT_EQ(playCount(3), 15u);
  EXPECT_EQ(program_.updateQueue().length(), -1);
}

TEST_F(QuitTest, UpdateForAReusedSlotIsDiscarded) {
  queue(6, /*key_of_slot1=*/999);  // slot 1 now holds another song
  quit();
  EXPECT_EQ(playCount(1), 0u);
  EXPECT_EQ(playCount(2), 14u);
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

TEST_F(QuitTest, WriterRunsInTheBackgroundAndGivesWayToRequests) {
  queue(6);
  ASSERT_TRUE(program_.startSupervisor());
  ASSERT_TRUE(program_.updateWriter().startWriterThread());
  ASSERT_TRUE(driveUntil(
      env_, [&] { return program_.updateQueue().length() == -1; }, std::chrono::milliseconds(10)));
  EXPECT_EQ(playCount(3), 15u);
  EXPECT_FALSE(program_.updateWriter().running() && program_.updateQueue().length() > 0);
  quit();
}

TEST_F(QuitTest, QuitWhileAWriterRunsLosesNothing) {
  queue(6, /*key_of_slot1=*/999);  // slot 1's updates are for a song no longer there
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
      env_, [&] { return window_.received(kCommandFinishQuit); }, std::chrono::milliseconds(10)));
  EXPECT_LT(env_.nowMillis() - closed_at, 10'000u);
  EXPECT_TRUE(program_.updateWriter().quitLeftEntries());
  EXPECT_EQ(playCount(2), 0u);
  EXPECT_EQ(program_.updateQueue().length(), 6);
  // The window stops the threads: the entries are written then.
  {
    testing::ClockDriver clock(env_, std::chrono::milliseconds(100));
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
  const uint64_t start = env_.nowMillis();
  ASSERT_TRUE(driveUntil(
      env_,
      [&] { return program_.updateQueue().length() == -1 || env_.nowMillis() - start > 60'000; },
      std::chrono::milliseconds(10)));
  EXPECT_EQ(program_.updateQueue().length(), -1);
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
  EXPECT_FALSE(program_.updateWriter().running());
}

}  // namespace
}  // namespace tunora::engine

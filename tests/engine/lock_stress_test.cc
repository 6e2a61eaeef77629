// Eight threads take and release the shared lock 800 times through the supervisor and
// the request executor, each opening the song table for writing while it holds the grant. No two
// may ever have the table open: a second writable open fails, and a counter checks it too.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/lock_codes.h"
#include "tests/engine/program_test.h"

namespace tunora::engine {
namespace {

constexpr int kThreads = 8;
constexpr int kRoundsPerThread = 100;

class LockStressTest : public testing::ProgramTest {};

TEST_F(LockStressTest, NoTwoThreadsEverHoldTheTable) {
  std::atomic<int> holders{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> failed_opens{0};
  std::atomic<int> granted{0};
  program_.words().playing.store(1);  // 50 ms ticks while requests wait
  ASSERT_TRUE(program_.startSupervisor());
  {
    std::vector<std::unique_ptr<testing::EnvThread>> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.push_back(std::make_unique<testing::EnvThread>(env_, [&, t] {
        int32_t code = kFirstWorkerCode + t;
        marlbase::TableHandle table;  // each thread its own handle
        table.setPath(path_);
        for (int round = 0; round < kRoundsPerThread;) {
          Grant grant = program_.lock().requestAndWait(code, 0, 2);
          if (!grant) continue;  // dropped by the watchdog: ask again
          ++round;
          if (holders.fetch_add(1) != 0) overlaps.fetch_add(1);
          table.setWritable(true);
          if (!table.open().ok()) failed_opens.fetch_add(1);
          (void)table.writeInt(1, kColPlayCount, static_cast<uint32_t>(round));
          table.close();
          holders.fetch_sub(1);
          granted.fetch_add(1);
        }
      }));
    }
    for (auto& thread : threads) EXPECT_TRUE(thread->join(std::chrono::milliseconds(10)));
    program_.closeWindow();
    ASSERT_TRUE(testing::driveUntil(env_, [&] { return window_.received(kCommandFinishQuit); }));
  }
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(failed_opens.load(), 0);
  EXPECT_EQ(granted.load(), kThreads * kRoundsPerThread);
  EXPECT_EQ(program_.words().grant.load(), 0);
}

}  // namespace
}  // namespace tunora::engine

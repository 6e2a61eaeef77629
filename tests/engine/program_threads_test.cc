// The program's threads in virtual time: the supervisor's tick (its length, the offline
// countdown, a stale checksum grant, the window's kept request), the builder thread, the quit
// with the update writer, eight threads taking the lock in turns, and the switch of the
// listening state (the old state's list saved, the new one's loaded, under lock 37).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/lock_codes.h"
#include "engine/request_executor.h"
#include "engine/state_switch.h"
#include "media/playlist_file.h"
#include "network/library_opening.h"
#include "tests/engine/builder_fixture.h"
#include "tests/engine/program_test.h"

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
}

TEST_F(SupervisorTest, TheOfflineCountdown) {
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

TEST_F(SupervisorTest, PostsTheWindowsKeptRequestOnceTheLockIsFree) {
  std::atomic<int32_t> done{-1};
  program_.executor().setHandler(kCodeDropRowsAndPlay, [&](int32_t k) { done.store(k); });
  words().request.store(kCodeDetailsLoader);
  ASSERT_EQ(program_.lock().postOrDefer(kCodeDropRowsAndPlay, 2), 0);
  words().playing.store(1);
  words().request.store(0);                                // the worker's request went
  EXPECT_EQ(supervisor().tickLength(), milliseconds(50));  // the kept one waits
  ASSERT_TRUE(supervisor().tick());                        // posts it and starts the executor
  ASSERT_TRUE(driveUntil(env_, [&] { return program_.threads().running() == 0; }));
  EXPECT_EQ(done.load(), 2);
  EXPECT_FALSE(program_.lock().hasDeferred());
  EXPECT_EQ(words().request.load(), 0);
  EXPECT_EQ(words().grant.load(), 0);
}

// With the supervisor handing over the lock, the builder fills the play list to ListSize,
// writes it to the state's play-list file and goes idle until the list falls below 10; a quit
// ends it.
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
  std::vector<std::string> listed;
  ASSERT_TRUE(media::readListFile(dir_.file("PL1.m3u"), [&](const std::string& path) {
                listed.push_back(path);
              }).ok());
  EXPECT_EQ(listed, run_.listPaths());
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

constexpr int kThreads = 8;
constexpr int kRoundsPerThread = 100;

// Eight threads take and release the shared lock 800 times through the supervisor and the
// request executor, each opening the song table for writing while it holds the grant. No two may
// ever have the table open: a second writable open fails, and a counter checks it too. (It runs
// long under ThreadSanitizer: ctest -E Stress leaves it out.)
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

struct FakeOptions final : StateControls {
  PerStateControls read() override { return on_screen; }
  void show(const PerStateControls& values) override { on_screen = values; }
  PerStateControls on_screen;
};

// A song table of 12 songs ("/lib/song<i>.mp3", "Title <i>") in a temporary data folder.
class StateSwitchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::makeLibrary(dir_.file("Tunora.mbf"), testing::numberedSongs(12)));
    settings_.setText(settings::kDatabasePath, dir_.file("Tunora.mbf"));
    switcher_.setDataDirectory(dir_.path().string() + "/");
  }
  // Runs the switch while an executor thread hands out the lock once per 50 ms, as the
  // supervisor would, in virtual time.
  SwitchResult switchTo(int32_t state, StateControls* dialog = nullptr) {
    std::atomic<bool> done{false};
    testing::EnvThread executor(env_, [&] {
      for (; !done.load(); env_.sleepFor(std::chrono::milliseconds(50))) executor_.run();
    });
    SwitchResult result = SwitchResult::kBadState;
    testing::EnvThread switcher(env_, [&] {
      result = switcher_.switchState(state, dialog);
      done.store(true);
    });
    EXPECT_TRUE(switcher.join());
    EXPECT_TRUE(executor.join());
    return result;
  }
  void fillList(std::initializer_list<int> songs) {
    for (int i : songs) {
      const std::string n = std::to_string(i);
      play_list_.append({"Title " + n, "Artist", "Album", "/lib/song" + n + ".mp3", "Audio"});
    }
  }
  // The play list's paths, or the named file's text, one line per path.
  std::string listText() const {
    std::string paths;
    for (const PlayListRow& row : play_list_.rows()) paths += row[kFileNameColumn] + "\r\n";
    return paths;
  }
  std::string fileText(const std::string& name) const {
    const std::vector<uint8_t> bytes = testing::readBytes(dir_.file(name));
    return {bytes.begin(), bytes.end()};
  }

  testing::TempDir dir_;
  FakeEnv env_;
  Settings settings_;
  SharedWords words_;
  SharedLock lock_{words_, env_};
  marlbase::TableHandle table_;
  network::LibraryOpening library_{table_, settings_};
  PlayList play_list_;
  StatusMessage status_;
  RequestExecutor executor_{lock_};
  StateSwitcher switcher_{lock_, library_, settings_, play_list_, status_};
};

TEST_F(StateSwitchTest, SavesTheOldStatesListAndLoadsTheNewOnes) {
  fillList({2, 1});
  const std::string state0 = "/lib/song2.mp3\r\n/lib/song1.mp3\r\n";
  const std::string state3 = "/lib/song9.mp3\r\n/lib/song12.mp3\r\n/lib/song3.mp3\r\n";
  testing::writeText(dir_.file("PL4.m3u"), state3);
  settings_.set(settings::kStateMinRating, 3, 7);
  FakeOptions options;
  options.on_screen = {2, 5, 0, 1};
  const int64_t refreshes = status_.refreshCount();

  EXPECT_EQ(switchTo(3, &options), SwitchResult::kSwitched);
  EXPECT_EQ(fileText("PL1.m3u"), state0);
  EXPECT_EQ(settings_.get(settings::kCurrentState), 3);
  EXPECT_EQ(listText(), state3);
  EXPECT_EQ(play_list_.row(1)->at(0), "Title 12");
  EXPECT_EQ(play_list_.songsPrepared(), 3);
  // The dialog's controls went into state 0; it now shows state 3's.
  EXPECT_EQ(settings_.get(settings::kStateNaughtyLimit, 0), 2);
  EXPECT_EQ(settings_.get(settings::kStateMinRating, 0), 5);
  EXPECT_EQ(settings_.get(settings::kStateHistory, 0), 1);
  EXPECT_EQ(options.on_screen.min_rating, 7);
  EXPECT_GT(status_.refreshCount(), refreshes);
  EXPECT_EQ(words_.grant.load(), 0);
  EXPECT_FALSE(table_.isOpen());

  // And back: state 3's list goes to PL4, state 0's comes back from PL1.
  EXPECT_EQ(switchTo(0), SwitchResult::kSwitched);
  EXPECT_EQ(fileText("PL4.m3u"), state3);
  EXPECT_EQ(listText(), state0);
}

TEST_F(StateSwitchTest, NothingHappensForTheSameStateABadStateOrARefusedLock) {
  fillList({1, 2});
  EXPECT_EQ(switchTo(0), SwitchResult::kSameState);
  EXPECT_EQ(switchTo(10), SwitchResult::kBadState);
  // Another holder keeps the lock for longer than the switch waits (5 s).
  Grant other = lock_.takeGrantDirectly(kCodeListBuilder);
  ASSERT_TRUE(other);
  SwitchResult result = SwitchResult::kSwitched;
  testing::EnvThread switcher(env_, [&] { result = switcher_.switchState(4); });
  ASSERT_TRUE(switcher.join(std::chrono::milliseconds(10)));
  EXPECT_EQ(result, SwitchResult::kLockRefused);
  EXPECT_EQ(settings_.get(settings::kCurrentState), 0);
  EXPECT_EQ(play_list_.size(), 2);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("PL1.m3u")));
  EXPECT_EQ(words_.request.load(), 0);  // the refused request was withdrawn
}

}  // namespace
}  // namespace tunora::engine

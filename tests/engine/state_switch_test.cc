// Switching the listening state: the old state's list saved, the new one's loaded, under lock 37.
#include "engine/state_switch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/lock_codes.h"
#include "engine/request_executor.h"
#include "network/library_opening.h"
#include "tests/support/clock_driver.h"
#include "tests/support/song_library.h"

namespace tunora::engine {
namespace {

class FakeOptions final : public StateControls {
 public:
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

// Start-up's load of the settings and the library: the first run, the cover copy and the clamps;
// then the whole window-less start-up with its command line, its clean-up of what kills left
// behind, and its lock (a second player's hand-over and wait).
#include "app/startup_load.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "app/start_up.h"
#include "library/song_table.h"
#include "network/library_opening.h"
#include "settings/settings_defaults.h"
#include "settings/settings_file.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

using namespace settings;
using testing::TempDir;
using ui::WelcomeMode;
namespace fs = std::filesystem;

class RecordingWelcome : public ui::WelcomeDialog {
 public:
  std::vector<WelcomeMode> welcomes;
  void showWelcome(WelcomeMode mode) override { welcomes.push_back(mode); }
};

// Start-up's load over a program folder and a data folder; the whole start-up over a program
// folder with a home folder beside it.
class StartupLoadTest : public ::testing::Test {
 protected:
  StartupLoadResult load() {
    context_.program_directory = program_.folder();
    context_.data_directory = data_.folder();
    return loadSettingsAndLibrary(context_, settings_, library_, dialog_, ui_);
  }
  StartUpInputs inputs(const std::string& line) {
    auto env = [this](const std::string& name) -> std::optional<std::string> {
      if (name == "HOME") return home_.folder();
      return std::nullopt;
    };
    const DirectoryProbe probe{program_.file("tunora"), env, [](auto&) { return false; }};
    return {line, probe, program_.file("Tunora.exe.lock"), {}, &env_, &dialog_, &ui_, &library_};
  }

  TempDir program_, data_, home_;
  FakeEnv env_;
  AppContext context_;
  Settings settings_;
  marlbase::TableHandle table_;
  network::LibraryOpening library_{table_, settings_};
  testing::ScriptedMessageDialog dialog_;
  RecordingWelcome ui_;
};
using StartUpTest = StartupLoadTest;

TEST_F(StartupLoadTest, FirstRunCreatesTheLibraryButNoSettingsFile) {
  testing::writeText(program_.file("Cover.gif"), "GIF89a");
  const StartupLoadResult r = load();
  EXPECT_TRUE(r.first_run && r.created_library && !r.end_program);
  EXPECT_EQ(ui_.welcomes, std::vector<WelcomeMode>{WelcomeMode::kFirstRun});
  EXPECT_EQ(settings_.text(kDatabasePath), data_.file("Tunora.mbf"));
  EXPECT_FALSE(fs::exists(data_.file("dTunora.dat")));
  EXPECT_EQ(testing::readBytes(data_.file("Cover.gif")).size(), 6u);
}

TEST_F(StartupLoadTest, CurrentFileOpensItsLibraryAndClampsStateZero) {
  Settings prepared;
  resetAll(prepared);
  prepared.setText(kDatabasePath, data_.file("songs.mbf"));
  prepared.set(kStateUser, 0, 12);
  prepared.set(kStateAltMode, 0, -3);
  prepared.set(kStateUser, 1, 12);  // only state 0 is clamped
  prepared.set(kSizeCheck, 0);
  prepared.set(kEditQueueCount, 40);
  ASSERT_TRUE(saveSettings(prepared, data_.folder(), {}).ok());
  testing::writeText(program_.file("Cover.jpg"), "jpeg");
  EXPECT_TRUE(load().created_library && fs::exists(data_.file("songs.mbf")));
  EXPECT_FALSE(fs::exists(data_.file("Cover.jpg")));  // current version: no cover copy
  EXPECT_EQ(std::vector<int32_t>({settings_.get(kStateUser, 0), settings_.get(kStateAltMode, 0),
                                  settings_.get(kStateUser, 1), settings_.get(kSizeCheck),
                                  settings_.get(kEditQueueCount)}),
            std::vector<int32_t>({0, 0, 12, 1, -1}));
  EXPECT_FALSE(load().created_library) << "the second start opens the table it made";
}

TEST_F(StartUpTest, InstalledCopyPinnedToAUserPlaysAtOnceAndTheFillerArgumentRunsTheFiller) {
  testing::writeText(program_.file("DefSet.txt"), "03");
  AppContext context;
  EXPECT_EQ(startUp(inputs("tunora xs"), context, settings_), StartUpOutcome::kRunMainWindow);
  EXPECT_EQ(context.data_directory, home_.folder() + ".local/share/Pellan/Tunora/");
  EXPECT_TRUE(fs::exists(context.data_directory + "Tunora.mbf"));
  EXPECT_EQ(context.fixed_user, 2);
  EXPECT_EQ(context.play_on_start, 1);
  EXPECT_TRUE(context.instance_lock.held() && !context.quit);

  // The media filler runs beside the player without the lock; "Auto Play" comes from the file.
  fs::remove(program_.file("DefSet.txt"));
  Settings saved;
  resetAll(saved);
  saved.set(kAutoPlay, 1);
  ASSERT_TRUE(saveSettings(saved, program_.folder(), {}).ok());
  AppContext filler;
  EXPECT_EQ(startUp(inputs("tunora \\f"), filler, settings_), StartUpOutcome::kRunFiller);
  EXPECT_TRUE(filler.quit && !filler.instance_lock.held());
  EXPECT_EQ(filler.play_on_start, 1);
  EXPECT_EQ(filler.fixed_user, 999);
}

// What kills left behind is cleaned up at the start: the temporary files of saves whose process
// has ended go, and a library whose blank first record was deleted gets it back.
TEST_F(StartUpTest, TheStartRemovesDeadSavesTempFilesAndRepairsTheBlankRecord) {
  const std::string data = program_.folder();  // without "DefSet.txt": beside the program
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
  const std::string stale = data + "dTunora.dat.tmp" + std::to_string(ended);
  const std::string stale_list = data + "PL3.m3u.tmp" + std::to_string(ended);
  testing::writeText(stale, "cut off");
  testing::writeText(stale_list, "/cut/off");
  testing::writeText(data + "PL1.m3u", "/a/song.mp3\r\n");
  {
    marlbase::TableHandle t;
    ASSERT_TRUE(createSongTable(t, data + "Tunora.mbf"));
    ASSERT_EQ(t.setStatus(0, 5), 1);
  }
  AppContext context;
  EXPECT_EQ(startUp(inputs("tunora"), context, settings_), StartUpOutcome::kRunMainWindow);
  EXPECT_EQ(context.data_directory, data);
  EXPECT_FALSE(fs::exists(stale) || fs::exists(stale_list));
  EXPECT_TRUE(fs::exists(data + "PL1.m3u"));
  marlbase::TableHandle t;
  t.setPath(data + "Tunora.mbf");
  ASSERT_TRUE(t.open().ok());
  EXPECT_EQ(t.peekStatus(0), 10);
}

// A second player ends before loading anything, with or without arguments: the running player
// either takes the start over at once, or the second start waits and ends.
TEST_F(StartUpTest, SecondPlayerEndsBeforeLoadingAnything) {
  InstanceLockResult first = takeInstanceLock(env_, program_.file("Tunora.exe.lock"), nullptr);
  ASSERT_TRUE(first.lock.held());
  for (const char* line : {"tunora", "tunora x s"}) {
    for (bool answers : {true, false}) {
      SCOPED_TRACE(std::string(line) + (answers ? " (answered)" : " (no answer)"));
      AppContext context;
      StartUpOutcome outcome{};
      int64_t asked = -1;  // the pid the running player was asked under
      StartUpInputs in = inputs(line);
      in.hand_over = [&](int64_t pid) {
        asked = pid;
        return answers;
      };
      testing::EnvThread second(env_, [&] { outcome = startUp(in, context, settings_); });
      if (!answers) {
        ASSERT_TRUE(env_.waitForSleepers(1));
        env_.advance(kInstanceWait);
      }
      ASSERT_TRUE(second.join());
      EXPECT_EQ(outcome,
                answers ? StartUpOutcome::kHandedOver : StartUpOutcome::kAnotherPlayerRunning);
      EXPECT_EQ(asked, static_cast<int64_t>(::getpid()));
      EXPECT_FALSE(context.instance_lock.held());
      EXPECT_FALSE(fs::exists(program_.file("Tunora.mbf")));
    }
  }
}

TEST(InstanceLockTest, FirstPlayerTakesTheLockAtOnceOverAStaleFileAndNamesItself) {
  testing::TempDir dir;
  const std::string path = dir.file("Tunora.exe.lock");
  testing::writeText(path, "999999999999 from an earlier player\n");
  FakeEnv env;
  bool asked = false;
  InstanceLockResult first = takeInstanceLock(env, path, [&](int64_t) { return asked = true; });
  EXPECT_TRUE(first.lock.held());
  EXPECT_FALSE(first.end_program || first.handed_over || asked);
  EXPECT_EQ(env.nowMillis(), 1'000'000u);  // no wait
  const std::string pid = std::to_string(::getpid()) + "\n";
  EXPECT_EQ(testing::readBytes(path), std::vector<uint8_t>(pid.begin(), pid.end()));
}

}  // namespace
}  // namespace tunora

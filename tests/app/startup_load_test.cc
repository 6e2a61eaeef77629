// Start-up's load of the settings and the library: the first run, upgrades with their dialogs,
// a library that will not open, the cover copy and the clamps; then the whole window-less
// start-up with its command line and lock.
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
#include "tests/settings/settings_test_bytes.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/scripted_message_dialog.h"

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

class StartupLoadTest : public ::testing::Test {
 protected:
  StartupLoadTest() {
    context_.program_directory = program_.folder();
    context_.data_directory = data_.folder();
  }
  StartupLoadResult load() {
    return loadSettingsAndLibrary(context_, settings_, library_, dialog_, ui_);
  }
  void writeSettingsFile(const std::string& header, const std::vector<uint8_t>& record) {
    testing::writeBytes(data_.file("dTunora.dat"), testing::settingsFileBytes(header, record));
  }

  TempDir program_, data_;
  AppContext context_;
  Settings settings_;
  marlbase::TableHandle table_;
  network::LibraryOpening library_{table_, settings_};
  testing::ScriptedMessageDialog dialog_;
  RecordingWelcome ui_;
};

TEST_F(StartupLoadTest, FirstRunCreatesTheLibraryButNoSettingsFile) {
  testing::writeText(program_.file("Cover.gif"), "GIF89a");
  const StartupLoadResult r = load();
  EXPECT_TRUE(r.first_run && r.created_library && !r.end_program);
  EXPECT_EQ(ui_.welcomes, std::vector<WelcomeMode>{WelcomeMode::kFirstRun});
  EXPECT_EQ(settings_.text(kDatabasePath), data_.file("Tunora.mbf"));
  EXPECT_TRUE(fs::exists(data_.file("Tunora.mbf")));
  EXPECT_FALSE(fs::exists(data_.file("dTunora.dat")));
  EXPECT_FALSE(table_.isOpen());
  EXPECT_EQ(context_.network_refresh_counter.load(), 200);
  EXPECT_EQ(context_.local_copy_path, data_.file("Local.mbf"));
  EXPECT_EQ(testing::readBytes(data_.file("Cover.gif")).size(), 6u);
}

TEST_F(StartupLoadTest, TooOldSettingsEndTheProgramAfterTheMessage) {
  writeSettingsFile("TUNO1299", std::vector<uint8_t>(7000, 0));
  dialog_.script({ui::kSecondButton});  // "View ReadMe"
  EXPECT_TRUE(load().end_program);
  EXPECT_EQ(dialog_.messages(),
            std::vector<std::string>{
                "Sorry, you need to install version 1.3 first to upgrade your database"});
  EXPECT_EQ(dialog_.readMeOpenings(), 1);
  EXPECT_FALSE(fs::exists(data_.file("Tunora.mbf")));
}

TEST_F(StartupLoadTest, Version3xxCopiesTheOldPlayListAndAJunkFileWelcomesAnUpgrade) {
  std::vector<uint8_t> record(7000, 0);
  testing::putWord(record, 652, 4);  // the old single user
  const std::string library = data_.file("lib.mbf");
  std::copy(library.begin(), library.end(), record.begin() + 32);
  writeSettingsFile("TUNO1350", record);
  testing::writeText(data_.file("Playlist.m3u"), "a.mp3\r\n");
  testing::writeText(data_.file("PL1.m3u"), "old\r\n");
  const StartupLoadResult r = load();
  EXPECT_FALSE(r.first_run || r.end_program);
  EXPECT_TRUE(ui_.welcomes.empty());
  EXPECT_EQ(testing::readBytes(data_.file("PL1.m3u")),
            testing::readBytes(data_.file("Playlist.m3u")));
  EXPECT_EQ(settings_.get(kStateUser, 0), 4);
  EXPECT_TRUE(r.created_library && fs::exists(library));

  writeSettingsFile("JUNK1401", std::vector<uint8_t>(7000, 0));
  (void)load();
  EXPECT_EQ(ui_.welcomes, std::vector<WelcomeMode>{WelcomeMode::kUpgrade});
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
  EXPECT_TRUE(load().created_library);
  EXPECT_TRUE(fs::exists(data_.file("songs.mbf")));
  EXPECT_FALSE(fs::exists(data_.file("Cover.jpg")));  // current version: no cover copy
  EXPECT_EQ(settings_.get(kStateUser, 0), 0);
  EXPECT_EQ(settings_.get(kStateAltMode, 0), 0);
  EXPECT_EQ(settings_.get(kStateUser, 1), 12);
  EXPECT_EQ(settings_.get(kSizeCheck), 1);
  EXPECT_EQ(settings_.get(kEditQueueCount), -1);
  EXPECT_FALSE(load().created_library) << "the second start opens the table it made";
}

class StartUpTest : public ::testing::Test {
 protected:
  StartUpInputs inputs(const std::string& line) {
    StartUpInputs in;
    in.command_line = line;
    in.probe.program_path = program_.file("tunora");
    in.probe.environment = [this](const std::string& name) -> std::optional<std::string> {
      if (name == "HOME") return home_.folder();
      return std::nullopt;
    };
    in.probe.is_removable = [](const std::string&) { return false; };
    in.lock_path = program_.file("Tunora.exe.lock");
    in.env = &env_;
    in.dialog = &dialog_;
    in.welcome = &ui_;
    in.library = &library_;
    return in;
  }

  TempDir program_, home_;
  FakeEnv env_;
  testing::ScriptedMessageDialog dialog_;
  RecordingWelcome ui_;
  Settings settings_;
  marlbase::TableHandle table_;
  network::LibraryOpening library_{table_, settings_};
};

TEST_F(StartUpTest, InstalledCopyPinnedToAUserPlaysAtOnceAndTheFillerArgumentRunsTheFiller) {
  testing::writeText(program_.file("DefSet.txt"), "03");
  AppContext context;
  EXPECT_EQ(startUp(inputs("tunora xs"), context, settings_), StartUpOutcome::kRunMainWindow);
  EXPECT_EQ(context.data_directory, home_.folder() + ".local/share/Pellan/Tunora/");
  EXPECT_TRUE(fs::exists(context.data_directory + "Tunora.mbf"));
  EXPECT_EQ(context.fixed_user, 2);
  EXPECT_EQ(context.play_on_start, 1);
  EXPECT_EQ(context.last_added_path, "Tunora.exe");
  EXPECT_TRUE(context.instance_lock.held());
  EXPECT_FALSE(context.quit);

  // The media filler runs beside the player without the lock; "Auto Play" comes from the file.
  fs::remove(program_.file("DefSet.txt"));
  Settings saved;
  resetAll(saved);
  saved.set(kAutoPlay, 1);
  ASSERT_TRUE(saveSettings(saved, program_.folder(), {}).ok());
  AppContext filler;
  EXPECT_EQ(startUp(inputs("tunora \\f"), filler, settings_), StartUpOutcome::kRunFiller);
  EXPECT_TRUE(filler.quit);
  EXPECT_EQ(filler.play_on_start, 1);
  EXPECT_EQ(filler.fixed_user, 999);
  EXPECT_FALSE(filler.instance_lock.held());
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
      std::vector<int64_t> asked;
      StartUpInputs in = inputs(line);
      in.hand_over = [&](int64_t pid) {
        asked.push_back(pid);
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
      ASSERT_FALSE(asked.empty());
      EXPECT_EQ(asked.front(), static_cast<int64_t>(::getpid()));
      EXPECT_FALSE(context.instance_lock.held());
      EXPECT_FALSE(fs::exists(program_.file("Tunora.mbf")));
    }
  }
}

}  // namespace
}  // namespace tunora

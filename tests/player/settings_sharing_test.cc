// The settings record shared by the program's threads, for ThreadSanitizer: the checksum pass
// and the details loader change "Hash Stat" while the builder reads it, the buffer pass and the
// builder write the buffer level, and the window thread saves the record and changes the
// library path, the mode and the users meanwhile. Run in the TSan build, any unsynchronised
// access is a failure; in every build the counters must stay in range.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/lock_codes.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/fake_media_window.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {
namespace {

constexpr int kRounds = 8;

TEST(SettingsSharingTest, WorkersAndTheWindowShareTheRecord) {
  TempDir dir;
  const std::string data_dir = dir.path().string() + "/";
  setenv("XDG_CACHE_HOME", (dir.path() / "cache").c_str(), 1);
  const std::string library = data_dir + "Tunora.mbf";
  ASSERT_TRUE(writeSongTable(library, plainSongs(40)));

  FakeEnv env;
  ui::FakeMediaWindow media(env);
  ProgramRun run(env, media, data_dir, [](Settings& s) {
    s = firstRunSettings();
    s.set(settings::kListSize, 30);
    s.set(settings::kBuffer, 1);
    s.set(settings::kHashStat, 600);
  });
  Program* program = &run.program();
  Settings& settings = program->settings();
  player::Player& player = run.player();
  ASSERT_TRUE(run.start());
  ASSERT_TRUE(
      run.until([&] { return program->playList().size() >= 20; }, std::chrono::milliseconds(50)));
  program->buffering().setUpBuffer();  // a pass on a thread of its own

  std::atomic<int> lowest_hash_stat{1 << 30};
  {
    EnvThread checksum(env, [&] {
      for (int i = 0; i < kRounds; ++i) {
        program->checksumPass().run();
        lowest_hash_stat.store(
            std::min(lowest_hash_stat.load(), settings.get(settings::kHashStat)));
        env.sleepFor(std::chrono::milliseconds(200));
      }
    });
    EnvThread loader(env, [&] {
      for (int i = 0; i < kRounds; ++i) {
        (void)player.detailsLoader().loadSongDetails(false);
        player.state().invalidateNext();
        env.sleepFor(std::chrono::milliseconds(150));
      }
    });
    EnvThread buffering(env, [&] {
      for (int i = 0; i < kRounds; ++i) {
        program->buffering().bufferPass();
        program->words().build_request.store(engine::kBuildNow);  // the builder tops up again
        env.sleepFor(std::chrono::milliseconds(300));
      }
    });
    EnvThread window_thread(env, [&] {
      for (int i = 0; i < kRounds; ++i) {
        settings.setText(settings::kDatabasePath, library);
        settings.set(settings::kNetwork, 0);
        settings.set(settings::kStateUser, 0, i % 2);
        settings.setText(settings::kUserName, 1, i % 2 ? "Ann" : "Bo");
        EXPECT_TRUE(saveSettings(settings, data_dir, {nullptr, &program->playListStore()}).ok());
        env.sleepFor(std::chrono::milliseconds(250));
      }
    });
    EXPECT_TRUE(checksum.join(std::chrono::milliseconds(50)));
    EXPECT_TRUE(loader.join(std::chrono::milliseconds(50)));
    EXPECT_TRUE(buffering.join(std::chrono::milliseconds(50)));
    EXPECT_TRUE(window_thread.join(std::chrono::milliseconds(50)));
  }
  EXPECT_GE(lowest_hash_stat.load(), 0);
  const int32_t level = settings.get(settings::kBufferLevel);
  EXPECT_TRUE(level == 0 || level == 100) << level;
  Settings saved;
  ASSERT_TRUE(loadSettings(data_dir, data_dir, saved).found);
  EXPECT_EQ(saved.text(settings::kDatabasePath), library);
}

}  // namespace
}  // namespace tunora::testing

// The whole program without a display: a generated folder of 60 songs imported into a new
// library, the list built to ListSize 20, then play, pause and resume, seven skips with "Auto
// Rate" on, back twice, stop, and the quit with more than 5 queued updates; then a second start
// from the same data directory. Checked afterwards: the scores and play counts in the table, the
// state's play-list file and the settings file. Run over the fake media window in virtual time,
// and over GStreamer (fakesink, 1-second songs; label "gstreamer").
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <thread>

#include "app/program.h"
#include "import/import.h"
#include "library/song_table.h"
#include "media/playlist_file.h"
#include "media/playlist_load.h"
#include "media/settings_adaptor.h"
#include "player/auto_rate.h"
#include "player/back_stack.h"
#include "player/demo_songs.h"
#include "player/player.h"
#include "settings/settings_file.h"
#include "tests/engine/builder_fixture.h"
#include "tests/engine/program_fixture.h"
#include "tests/player/fake_player_window.h"
#include "tests/support/fake_media_window.h"
#ifdef TUNORA_TEST_GST
#include "player/gst/gst_media_window.h"
#endif

namespace tunora::testing {
namespace {

constexpr int32_t kSongs = 60;
constexpr int32_t kListSize = 20;
constexpr int kSkips = 7;

class NullImportStatus final : public media::ImportStatus {
  void setLine1(const std::string&) override {}
  void setLine2(const std::string&) override {}
};

// One run of the program over the data directory: the start-up steps that matter here, the
// threads, and the quit with its saves.
class ProgramRun {
 public:
  // `library` is the library's path (default: "Tunora.mbf" in the data directory); `network`
  // runs in Network mode, on a local copy of that library.
  ProgramRun(FakeEnv& env, const std::string& data_dir, ui::MediaWindow& media,
             const std::string& library = "", bool network = false)
      : env_(env), data_dir_(data_dir), program_(env) {
    Settings& s = program_.settings();
    if (!loadSettings(data_dir, data_dir, s).found) {
      s = firstRunSettings();
      s.set(settings::kListSize, kListSize);
      s.set(settings::kAutoRate, 1);
      s.set(settings::kAutoBuild, 1);
    }
    s.setText(settings::kDatabasePath, library.empty() ? data_dir + "Tunora.mbf" : library);
    s.set(settings::kNetwork, network ? 1 : 0);
    program_.setDataDirectory(data_dir);
    program_.context().network_refresh_counter = 200;  // as start-up leaves it
    media::ListLoadOptions options;
    options.switches = media::mediaSwitchesOf(s);
    program_.library().openLibraryForReading();
    (void)media::loadListFile(media::playListFileName(data_dir, s.get(settings::kCurrentState)),
                              &program_.songTable(), options,
                              [&](media::LoadedRow row) { program_.playList().append(row); });
    program_.songTable().close();
    program_.attachWindow(&commands_);
    player_ = &program_.createPlayer(media, window_);
  }
  ~ProgramRun() {
    program_.words().stopping.store(1);
    ClockDriver clock(env_, std::chrono::milliseconds(100));
    program_.stopThreads();
    program_.attachWindow(nullptr);
  }
  bool start() {
    return program_.startSupervisor() && program_.startBuilder() && program_.startPlayer();
  }
  bool until(const std::function<bool()>& done) {
    return driveUntil(env_, done, std::chrono::milliseconds(5));
  }
  // Posts a request and waits until the switch it asks for is done (the display repainted).
  bool requestAndWaitForSong(int32_t request) {
    const int32_t repaints = window_.text_repaints.load() + window_.video_repaints.load();
    program_.words().player_request.store(request);
    return until([&] {
      return window_.text_repaints.load() + window_.video_repaints.load() > repaints &&
             player_->state().position.load() >= 0;
    });
  }
  // The quit: 66, the supervisor and the writer, command 2031, then the window's part.
  bool quit() {
    program_.closeWindow();
    if (!until([&] { return commands_.received(engine::kCommandFinishQuit); })) return false;
    program_.words().player_request.store(player::kRequestStop);
    {
      ClockDriver clock(env_, std::chrono::milliseconds(100));
      program_.stopThreads();
    }
    program_.noteEditQueueCount();
    return saveSettings(program_.settings(), data_dir_, {nullptr, &program_.playListStore()}).ok();
  }

  // Switches the listening state as the menu does, on a thread of its own while the clock
  // moves. The switch waits at most 5 s for the lock and does nothing when it is refused (the
  // builder, the player and the supervisor's workers use the lock too); the user then chooses
  // the state again, and so does this, up to five times.
  bool switchState(int32_t state) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      engine::SwitchResult result = engine::SwitchResult::kBadState;
      EnvThread worker(env_, [&] { result = program_.stateSwitcher().switchState(state); });
      if (!worker.join(std::chrono::milliseconds(5))) return false;
      if (result != engine::SwitchResult::kLockRefused) {
        return result == engine::SwitchResult::kSwitched &&
               program_.settings().get(settings::kCurrentState) == state;
      }
    }
    return false;
  }

  Program& program() { return program_; }
  player::Player& player() { return *player_; }

 private:
  FakeEnv& env_;
  std::string data_dir_;
  RecordingWindow commands_;
  FakePlayerWindow window_;
  Program program_;
  player::Player* player_ = nullptr;
};

class WholeProgramTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    data_dir_ = dir_.path().string() + "/data/";
    music_ = dir_.path().string() + "/music";
    std::filesystem::create_directories(data_dir_);
    ASSERT_TRUE(player::writeDemoSongs(music_, kSongs, 1000).ok());
    marlbase::TableHandle table;
    ASSERT_TRUE(createSongTable(table, data_dir_ + "Tunora.mbf"));
    table.close();
    // The import, as tunora-cli import runs it.
    Settings settings = firstRunSettings();
    settings.setText(settings::kDatabasePath, data_dir_ + "Tunora.mbf");
    engine::SharedWords words;
    engine::SharedLock lock(words, env_);
    NullImportStatus status;
    std::atomic<int32_t> changes{0};
    media::Importer importer(lock, table, settings, status, changes);
    engine::Grant grant = lock.takeGrantDirectly(engine::kCodeImport);
    importer.runImportHolding(grant, music_ + "/");
    ASSERT_EQ(importer.songsAdded(), kSongs);
  }
  std::unique_ptr<ui::MediaWindow> makeMedia() {
    if (!GetParam()) {
      auto fake = std::make_unique<ui::FakeMediaWindow>(env_);
      fake->setDefaultLength(600000);  // no song ends by itself
      return fake;
    }
#ifdef TUNORA_TEST_GST
    setenv(gst::kAudioSinkVariable, "fakesink sync=true", 0);
    return std::make_unique<gst::GstMediaWindow>();
#else
    return nullptr;
#endif
  }
  std::map<int32_t, uint32_t> tableInts(int32_t column) {
    std::map<int32_t, uint32_t> out;
    marlbase::TableHandle table;
    table.setPath(data_dir_ + "Tunora.mbf");
    EXPECT_TRUE(table.open().ok());
    for (int32_t slot = 1; slot <= kSongs; ++slot) out[slot] = table.readInt(slot, column).value_or(0);
    return out;
  }

  TempDir dir_;
  std::string data_dir_;
  std::string music_;
  FakeEnv env_;
};

TEST_P(WholeProgramTest, PlaysSkipsGoesBackQuitsAndStartsAgainWithItsState) {
  auto media = makeMedia();
  if (!media) GTEST_SKIP() << "built without GStreamer";
  const bool real = GetParam();
  const auto scores_before = tableInts(ratingColumn(0));
  std::map<int32_t, uint32_t> expected_scores;
  std::vector<int32_t> skipped;
  int32_t rows_taken = 0;
  std::vector<std::string> saved_rows;
  {
    ProgramRun run(env_, data_dir_, *media);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.until([&] { return run.program().playList().size() == kListSize; }));
    EXPECT_TRUE(run.until([&] { return std::filesystem::exists(data_dir_ + "PL1.m3u"); }));

    ASSERT_TRUE(run.requestAndWaitForSong(player::kRequestPlay));
    ++rows_taken;
    // Pause once the song has played a little, then resume it.
    ASSERT_TRUE(run.until([&] { return run.player().state().position.load() >= 100; }));
    const std::string first = run.player().state().playPath();
    run.program().words().player_request.store(player::kRequestPause);
    // The pause has ended once the media is closed (the length then is 0).
    ASSERT_TRUE(run.until([&] {
      return run.program().words().playing.load() == 0 && run.player().state().length.load() == 0;
    }));
    if (!real) {  // a 1-second song may end by itself before the pause is handled
      EXPECT_GT(run.player().state().resume_position.load(), 0);
    }
    ASSERT_TRUE(run.requestAndWaitForSong(player::kRequestPlay));
    if (!real) {
      EXPECT_EQ(run.player().state().playPath(), first);
    }

    for (int i = 0; i < kSkips; ++i) {
      const player::SongDetails song = run.player().state().current();
      skipped.push_back(song.slot);
      if (song.slot >= 0) {
        expected_scores[song.slot] = *player::autoRatedScore(
            song.rating, player::kArSpeedNormal, 512, player::AutoRateDirection::kSkipped);
      }
      ASSERT_TRUE(run.requestAndWaitForSong(player::kRequestSkip));
      ++rows_taken;
    }
    // Over real media a song may also end by itself between two skips (and be rated up
    // instead), so only the fake media's count is exact.
    if (real) {
      EXPECT_GT(run.program().updateQueue().length(), 5);
    } else {
      EXPECT_EQ(run.program().updateQueue().length(), kSkips);
    }
    // Back twice: the last two songs skipped play again, no rows taken.
    ASSERT_TRUE(run.requestAndWaitForSong(player::kRequestBack));
    if (!real) {
      EXPECT_EQ(run.player().state().current().slot, skipped[kSkips - 1]);
    }
    ASSERT_TRUE(run.requestAndWaitForSong(player::kRequestBack));
    if (!real) {
      EXPECT_EQ(run.player().state().current().slot, skipped[kSkips - 2]);
    }
    run.program().words().player_request.store(player::kRequestStop);
    ASSERT_TRUE(run.until([&] { return run.program().words().playing.load() == 0; }));
    ASSERT_TRUE(run.quit());
    EXPECT_EQ(run.program().updateQueue().length(), -1);  // written, storage freed
    for (const auto& row : run.program().playList().rows()) {
      saved_rows.push_back(row[engine::kFileNameColumn]);
    }
    if (!real) {
      EXPECT_EQ(player::backStackTop(run.program().settings()), skipped[kSkips - 3])
          << ::testing::PrintToString(skipped) << " "
          << run.program().settings().get(settings::kBackStack, 1);
    }
  }

  // The table: each skipped song lost a quarter of its score (a song played to its end, which
  // only the real back end may see, gained); play counts add up to every pick.
  const auto scores = tableInts(ratingColumn(0));
  if (!real) {
    for (int32_t slot : skipped) EXPECT_EQ(scores.at(slot), expected_scores.at(slot)) << slot;
  }
  int changed = 0;
  for (const auto& [slot, score] : scores) changed += score != scores_before.at(slot) ? 1 : 0;
  if (real) {
    EXPECT_GT(changed, 5);
  } else {
    EXPECT_EQ(changed, kSkips);
  }
  uint32_t plays = 0;
  for (const auto& [slot, count] : tableInts(kColPlayCount)) plays += count;
  EXPECT_GE(plays, static_cast<uint32_t>(saved_rows.size() + rows_taken));

  // The state's play-list file holds the list as it was at the quit.
  std::vector<std::string> listed;
  ASSERT_TRUE(media::readListFile(data_dir_ + "PL1.m3u",
                                  [&](const std::string& p) { listed.push_back(p); })
                  .ok());
  EXPECT_EQ(listed, saved_rows);

  // The second start: the settings and the list come back, and the list's top plays.
  ProgramRun again(env_, data_dir_, *media);
  EXPECT_EQ(again.program().settings().get(settings::kListSize), kListSize);
  EXPECT_EQ(again.program().settings().get(settings::kAutoRate), 1);
  EXPECT_EQ(again.program().settings().get(settings::kEditQueueCount), -1);
  ASSERT_EQ(again.program().playList().size(), static_cast<int32_t>(saved_rows.size()));
  EXPECT_FALSE(again.program().playList().row(0)->at(0).empty());  // the record's title
  ASSERT_TRUE(again.start());
  ASSERT_TRUE(again.requestAndWaitForSong(player::kRequestPlay));
  EXPECT_EQ(again.player().state().playPath(), saved_rows[0]);
  ASSERT_TRUE(again.quit());
}

// Network mode over a folder standing in for the share: the program works on a local copy, the
// list is built and played, two listening states keep their own lists, and the quit writes the
// scores back to the shared library.
TEST_P(WholeProgramTest, WorksOnALocalCopyInNetworkModeAndKeepsAListPerState) {
  if (GetParam()) GTEST_SKIP() << "the fake media window suffices here";
  auto media = makeMedia();
  const std::string share = dir_.path().string() + "/share/";
  std::filesystem::create_directories(share);
  std::filesystem::rename(data_dir_ + "Tunora.mbf", share + "Tunora.mbf");
  setenv("XDG_CACHE_HOME", (dir_.path() / "cache").c_str(), 1);  // the buffer folder
  const auto scores_before = [&] {
    std::map<int32_t, uint32_t> out;
    marlbase::TableHandle table;
    table.setPath(share + "Tunora.mbf");
    EXPECT_TRUE(table.open().ok());
    for (int32_t slot = 1; slot <= kSongs; ++slot) out[slot] = *table.readInt(slot, ratingColumn(0));
    return out;
  }();
  std::vector<int32_t> skipped;
  std::vector<std::string> state0_rows;
  {
    ProgramRun run(env_, data_dir_, *media, share + "Tunora.mbf", /*network=*/true);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.until([&] { return run.program().playList().size() == kListSize; }));
    EXPECT_TRUE(std::filesystem::exists(data_dir_ + "Local.mbf"));
    ASSERT_TRUE(run.requestAndWaitForSong(player::kRequestPlay));
    for (int i = 0; i < kSkips; ++i) {
      skipped.push_back(run.player().state().current().slot);
      ASSERT_TRUE(run.requestAndWaitForSong(player::kRequestSkip));
    }
    run.program().words().player_request.store(player::kRequestStop);
    ASSERT_TRUE(run.until([&] { return run.program().words().playing.load() == 0; }));
    // Stopped, with "Auto Build" on the builder tops the list up again: the list is the state's
    // once it is full and the builder idle.
    ASSERT_TRUE(run.until([&] {
      return run.program().playList().size() == kListSize &&
             run.program().words().build_request.load() == engine::kBuildIdle;
    }));

    // State 0 to state 3: the list goes to "PL1.m3u" and state 3 builds a list of its own.
    for (const auto& row : run.program().playList().rows()) {
      state0_rows.push_back(row[engine::kFileNameColumn]);
    }
    ASSERT_TRUE(run.switchState(3));
    std::vector<std::string> saved;
    ASSERT_TRUE(media::readListFile(data_dir_ + "PL1.m3u", [&](const std::string& p) {
                  saved.push_back(p);
                }).ok());
    EXPECT_EQ(saved, state0_rows);
    ASSERT_TRUE(run.until([&] { return run.program().playList().size() == kListSize; }));
    // "Buffer" goes on and buffering starts, as at start-up: state 3's songs are copied.
    network::Buffering& buffering = run.program().buffering();
    auto buffered = [&](const std::vector<std::string>& paths) {
      for (const std::string& p : paths) {
        if (!std::filesystem::exists(buffering.localBufferPath(p))) return false;
      }
      return true;
    };
    auto pass_done = [&] {
      return !buffering.passRunning() && buffering.level() == 100 &&
             buffering.state() == network::kBuffered;
    };
    run.program().settings().set(settings::kBuffer, 1);
    run.program().startBufferingOrChecksumPass();
    ASSERT_TRUE(run.until(pass_done));
    std::vector<std::string> state3_rows;
    for (const auto& row : run.program().playList().rows()) {
      state3_rows.push_back(row[engine::kFileNameColumn]);
    }
    EXPECT_TRUE(buffered(state3_rows));
    EXPECT_FALSE(buffered(state0_rows));
    // And back: state 3's list is saved as "PL4.m3u", state 0's comes back, and buffering
    // starts over it (the buffer level back to 0 until that pass ends).
    ASSERT_TRUE(run.switchState(0));
    EXPECT_TRUE(buffering.passRunning() || buffering.level() == 0 || buffered(state0_rows));
    ASSERT_TRUE(run.until([&] { return pass_done() && buffered(state0_rows); }));
    EXPECT_TRUE(std::filesystem::exists(data_dir_ + "PL4.m3u"));
    std::vector<std::string> back;
    for (const auto& row : run.program().playList().rows()) back.push_back(row[engine::kFileNameColumn]);
    EXPECT_EQ(back, state0_rows);
    ASSERT_TRUE(run.quit());
  }
  // The skipped songs lost score in the shared library itself, and the local copy equals it.
  marlbase::TableHandle table;
  table.setPath(share + "Tunora.mbf");
  ASSERT_TRUE(table.open().ok());
  for (int32_t slot : skipped) {
    ASSERT_GE(slot, 1);
    EXPECT_LT(*table.readInt(slot, ratingColumn(0)), scores_before.at(slot)) << slot;
  }
  table.close();
  EXPECT_EQ(tunora::testing::readBytes(share + "Tunora.mbf"),
            tunora::testing::readBytes(data_dir_ + "Local.mbf"));
}

#ifdef TUNORA_TEST_GST
INSTANTIATE_TEST_SUITE_P(GstMedia, WholeProgramTest, ::testing::Values(true));
#else
INSTANTIATE_TEST_SUITE_P(FakeMedia, WholeProgramTest, ::testing::Values(false));
#endif

}  // namespace
}  // namespace tunora::testing

// The whole program without a display: a generated folder of 60 songs imported into a new
// library, the list built to ListSize 20, then play, seven skips with "Auto Rate" on, stop, and
// the quit with more than 5 queued updates; then a second start
// from the same data directory. Checked afterwards: the scores and play counts in the table, the
// state's play-list file and the settings file. Run over the fake media window in virtual time,
// and over GStreamer (fakesink, 1-second songs; label "gstreamer").
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "import/import.h"
#include "library/song_table.h"
#include "media/playlist_file.h"
#include "player/auto_rate.h"
#include "player/demo_songs.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/fake_media_window.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"
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

void firstRun(Settings& s, bool network) {
  s = firstRunSettings();
  s.set(settings::kListSize, kListSize);
  s.set(settings::kAutoRate, 1);
  s.set(settings::kAutoBuild, 1);
  s.set(settings::kNetwork, network ? 1 : 0);
}

class WholeProgramTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    data_dir_ = dir_.folder() + "data/";
    std::filesystem::create_directories(data_dir_);
    ASSERT_TRUE(player::writeDemoSongs(dir_.file("music"), kSongs, 1000).ok());
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
    importer.runImportHolding(grant, dir_.file("music") + "/");
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
  static std::map<int32_t, uint32_t> tableInts(const std::string& path, int32_t column) {
    std::map<int32_t, uint32_t> out;
    marlbase::TableHandle table;
    table.setPath(path);
    EXPECT_TRUE(table.open().ok());
    for (int32_t slot = 1; slot <= kSongs; ++slot)
      out[slot] = table.readInt(slot, column).value_or(0);
    return out;
  }
  std::vector<std::string> listFile(const std::string& name) {
    std::vector<std::string> listed;
    EXPECT_TRUE(media::readListFile(data_dir_ + name, [&](const std::string& p) {
                  listed.push_back(p);
                }).ok());
    return listed;
  }

  TempDir dir_;
  std::string data_dir_;
  FakeEnv env_;
};

TEST_P(WholeProgramTest, PlaysSkipsQuitsAndStartsAgainWithItsState) {
  auto media = makeMedia();
  if (!media) GTEST_SKIP() << "built without GStreamer";
  const bool real = GetParam();
  const std::string library = data_dir_ + "Tunora.mbf";
  const auto scores_before = tableInts(library, ratingColumn(0));
  std::map<int32_t, uint32_t> expected_scores;
  std::vector<int32_t> skipped;
  std::vector<std::string> saved_rows;
  {
    ProgramRun run(env_, *media, data_dir_, [](Settings& s) { firstRun(s, false); });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.until([&] { return run.program().playList().size() == kListSize; }));
    EXPECT_TRUE(run.until([&] { return std::filesystem::exists(data_dir_ + "PL1.m3u"); }));

    ASSERT_TRUE(run.request(player::kRequestPlay));
    for (int i = 0; i < kSkips; ++i) {
      const player::SongDetails song = run.player().state().current();
      skipped.push_back(song.slot);
      if (song.slot >= 0) {
        expected_scores[song.slot] = *player::autoRatedScore(
            song.rating, player::kArSpeedNormal, 512, player::AutoRateDirection::kSkipped);
      }
      ASSERT_TRUE(run.request(player::kRequestSkip));
    }
    // Over real media a song may also end by itself between two skips (and be rated up).
    const int32_t queued = run.program().updateQueue().length();
    EXPECT_TRUE(real ? queued > 5 : queued == kSkips) << queued;
    ASSERT_TRUE(run.stopPlaying());
    ASSERT_TRUE(run.quit());
    EXPECT_EQ(run.program().updateQueue().length(), -1);  // written, storage freed
    saved_rows = run.listPaths();
  }

  // Each skipped song lost a quarter of its score (a song played to its end, which only the
  // real back end may see, gained); play counts add up to every pick (the first song and the
  // seven skipped to, taken from the list).
  const auto scores = tableInts(library, ratingColumn(0));
  int changed = 0;
  for (const auto& [slot, score] : scores) changed += score != scores_before.at(slot) ? 1 : 0;
  EXPECT_TRUE(real ? changed > 5 : changed == kSkips) << changed;
  for (int32_t slot : skipped) {
    EXPECT_TRUE(real || scores.at(slot) == expected_scores.at(slot)) << slot;
  }
  uint32_t plays = 0;
  for (const auto& [slot, count] : tableInts(library, kColPlayCount)) plays += count;
  EXPECT_GE(plays, static_cast<uint32_t>(saved_rows.size() + 1 + kSkips));
  EXPECT_EQ(listFile("PL1.m3u"), saved_rows);

  // The second start: the settings and the list come back, and the list's top plays.
  ProgramRun again(env_, *media, data_dir_, [](Settings&) { ADD_FAILURE() << "no settings"; });
  EXPECT_EQ(again.program().settings().get(settings::kListSize), kListSize);
  EXPECT_EQ(again.program().settings().get(settings::kAutoRate), 1);
  EXPECT_EQ(again.program().settings().get(settings::kEditQueueCount), -1);
  ASSERT_EQ(again.listPaths(), saved_rows);
  EXPECT_FALSE(again.program().playList().row(0)->at(0).empty());  // the record's title
  ASSERT_TRUE(again.start());
  ASSERT_TRUE(again.request(player::kRequestPlay));
  EXPECT_EQ(again.player().state().playPath(), saved_rows[0]);
  ASSERT_TRUE(again.quit());
}

// Network mode over a folder standing in for the share: the program works on a local copy, the
// list is built and played, two listening states keep their own lists (and buffers), and the
// quit writes the scores back to the shared library.
TEST_P(WholeProgramTest, WorksOnALocalCopyInNetworkModeAndKeepsAListPerState) {
  if (GetParam()) GTEST_SKIP() << "the fake media window suffices here";
  auto media = makeMedia();
  const std::string share = dir_.folder() + "share/";
  std::filesystem::create_directories(share);
  std::filesystem::rename(data_dir_ + "Tunora.mbf", share + "Tunora.mbf");
  setenv("XDG_CACHE_HOME", (dir_.path() / "cache").c_str(), 1);  // the buffer folder
  const auto scores_before = tableInts(share + "Tunora.mbf", ratingColumn(0));
  std::vector<int32_t> skipped;
  {
    ProgramRun run(
        env_, *media, data_dir_, [](Settings& s) { firstRun(s, true); }, share + "Tunora.mbf");
    Program& program = run.program();
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.until([&] { return program.playList().size() == kListSize; }));
    EXPECT_TRUE(std::filesystem::exists(data_dir_ + "Local.mbf"));
    ASSERT_TRUE(run.request(player::kRequestPlay));
    for (int i = 0; i < kSkips; ++i) {
      skipped.push_back(run.player().state().current().slot);
      ASSERT_TRUE(run.request(player::kRequestSkip));
    }
    // Stopped, with "Auto Build" on the builder tops the list up again.
    ASSERT_TRUE(run.stopPlaying());
    ASSERT_TRUE(run.until([&] {
      return program.playList().size() == kListSize &&
             program.words().build_request.load() == engine::kBuildIdle;
    }));
    const std::vector<std::string> state0_rows = run.listPaths();
    // Switches the state as the menu does; a switch refused for the lock is chosen again.
    auto switchState = [&](int32_t state) {
      for (int attempt = 0; attempt < 5; ++attempt) {
        engine::SwitchResult result = engine::SwitchResult::kBadState;
        EnvThread worker(env_, [&] { result = program.stateSwitcher().switchState(state); });
        if (!worker.join(std::chrono::milliseconds(5))) return false;
        if (result != engine::SwitchResult::kLockRefused) {
          return result == engine::SwitchResult::kSwitched &&
                 program.settings().get(settings::kCurrentState) == state;
        }
      }
      return false;
    };
    // State 0 to state 3: the list goes to "PL1.m3u" and state 3 builds a list of its own.
    ASSERT_TRUE(switchState(3));
    EXPECT_EQ(listFile("PL1.m3u"), state0_rows);
    ASSERT_TRUE(run.until([&] { return program.playList().size() == kListSize; }));
    // "Buffer" goes on and buffering starts, as at start-up: state 3's songs are copied.
    network::Buffering& buffering = program.buffering();
    auto buffered = [&](const std::vector<std::string>& paths) {
      return std::all_of(paths.begin(), paths.end(), [&](const std::string& p) {
        return std::filesystem::exists(buffering.localBufferPath(p));
      });
    };
    auto pass_done = [&] {
      return !buffering.passRunning() && buffering.level() == 100 &&
             buffering.state() == network::kBuffered;
    };
    program.settings().set(settings::kBuffer, 1);
    program.startBufferingOrChecksumPass();
    ASSERT_TRUE(run.until(pass_done));
    const std::vector<std::string> state3_rows = run.listPaths();
    EXPECT_TRUE(buffered(state3_rows));
    EXPECT_FALSE(buffered(state0_rows));
    // And back: state 3's list is saved as "PL4.m3u", state 0's comes back and is buffered.
    ASSERT_TRUE(switchState(0));
    ASSERT_TRUE(run.until([&] { return pass_done() && buffered(state0_rows); }));
    EXPECT_EQ(listFile("PL4.m3u"), state3_rows);
    EXPECT_EQ(run.listPaths(), state0_rows);
    ASSERT_TRUE(run.quit());
  }
  // The skipped songs lost score in the shared library itself, and the local copy equals it.
  const auto scores = tableInts(share + "Tunora.mbf", ratingColumn(0));
  for (int32_t slot : skipped) {
    ASSERT_GE(slot, 1);
    EXPECT_LT(scores.at(slot), scores_before.at(slot)) << slot;
  }
  EXPECT_EQ(readBytes(share + "Tunora.mbf"), readBytes(data_dir_ + "Local.mbf"));
}

#ifdef TUNORA_TEST_GST
INSTANTIATE_TEST_SUITE_P(GstMedia, WholeProgramTest, ::testing::Values(true));
#else
INSTANTIATE_TEST_SUITE_P(FakeMedia, WholeProgramTest, ::testing::Values(false));
#endif

}  // namespace
}  // namespace tunora::testing

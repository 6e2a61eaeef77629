// The whole program without a display over 60 generated songs: the list built, play, seven skips
// with "Auto Rate" on, stop, quit; the table's scores and play counts, the play-list file and the
// settings after, and a second start. Over the fake media window in virtual time, and over
// GStreamer (fakesink, 1-second songs; label "gstreamer").
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "media/playlist_file.h"
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

class WholeProgramTest : public ::testing::TestWithParam<bool> {
 protected:
  // One-second tunes "song<i>.wav" in slots 0.. of the library.
  void SetUp() override {
    data_dir_ = dir_.folder() + "data/";
    std::filesystem::create_directories(data_dir_);
    std::vector<TestSong> songs = plainSongs(kSongs);
    uint32_t seed = 0;
    for (TestSong& song : songs) {
      song.path = dir_.file("song" + std::to_string(seed) + ".wav");
      ASSERT_TRUE(player::writeToneWav(song.path, 1000, seed++).ok());
    }
    ASSERT_TRUE(writeSongTable(data_dir_ + "Tunora.mbf", songs));
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
    for (int32_t slot = 0; slot < kSongs; ++slot)
      out[slot] = table.readInt(slot, column).value_or(0);
    return out;
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
  std::vector<std::string> saved_rows;
  {
    ProgramRun run(env_, *media, data_dir_, [](Settings& s) {
      s = firstRunSettings();
      s.set(settings::kListSize, kListSize);
      s.set(settings::kAutoRate, 1);
      s.set(settings::kAutoBuild, 1);
    });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.until([&] { return run.program().playList().size() == kListSize; }));

    ASSERT_TRUE(run.request(player::kRequestPlay));
    for (int i = 0; i < kSkips; ++i) ASSERT_TRUE(run.request(player::kRequestSkip));
    // Over real media a song may also end by itself between two skips (and be rated up).
    const int32_t queued = run.program().updateQueue().length();
    EXPECT_TRUE(real ? queued > 5 : queued == kSkips) << queued;
    ASSERT_TRUE(run.stopPlaying());
    ASSERT_TRUE(run.quit());
    EXPECT_EQ(run.program().updateQueue().length(), -1);  // written, storage freed
    saved_rows = run.listPaths();
  }

  // Each skipped song's score changed in the table (a song played to its end, which only the real
  // back end may see, too; how much is the auto-rate test's); play counts add up to every pick
  // (the first song and the seven skipped to, taken from the list).
  const auto scores = tableInts(library, ratingColumn(0));
  int changed = 0;
  for (const auto& [slot, score] : scores) changed += score != scores_before.at(slot) ? 1 : 0;
  EXPECT_TRUE(real ? changed > 5 : changed == kSkips) << changed;
  uint32_t plays = 0;
  for (const auto& [slot, count] : tableInts(library, kColPlayCount)) plays += count;
  EXPECT_GE(plays, static_cast<uint32_t>(saved_rows.size() + 1 + kSkips));
  std::vector<std::string> listed;
  EXPECT_TRUE(media::readListFile(data_dir_ + "PL1.m3u", [&](const std::string& p) {
                listed.push_back(p);
              }).ok());
  EXPECT_EQ(listed, saved_rows);

  // The second start: the settings and the list come back (what plays then is the resume test's).
  ProgramRun again(env_, *media, data_dir_, [](Settings&) { ADD_FAILURE() << "no settings"; });
  EXPECT_EQ(again.program().settings().get(settings::kListSize), kListSize);
  EXPECT_EQ(again.program().settings().get(settings::kEditQueueCount), -1);  // queue written
  EXPECT_EQ(again.listPaths(), saved_rows);
}

#ifdef TUNORA_TEST_GST
INSTANTIATE_TEST_SUITE_P(GstMedia, WholeProgramTest, ::testing::Values(true));
#else
INSTANTIATE_TEST_SUITE_P(FakeMedia, WholeProgramTest, ::testing::Values(false));
#endif

}  // namespace
}  // namespace tunora::testing

// Resuming where the program left off: the resume file's bytes, and the whole program quitting in
// the middle of a song (or paused, or stopped) and starting again from the same data directory,
// over the fake media window in virtual time.
#include <gtest/gtest.h>

#include <memory>

#include "engine/resume_point.h"
#include "media/playlist_file.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/fake_media_window.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {
namespace {

using engine::ResumePoint;

TEST(ResumeFileTest, BytesOfTheFileAndWhatIsRefused) {
  const ResumePoint point{3, 83500, "/music/Blue Moon.mp3"};
  const std::string text = "Tunora resume 1\nstate 3\nposition 83500\npath /music/Blue Moon.mp3\n";
  EXPECT_EQ(engine::resumeFileText(point), text);
  EXPECT_EQ(engine::parseResumeFile(text), point);
  // Nothing to keep: no path, a line break in it, no position, a state out of range.
  for (const ResumePoint& none : std::vector<ResumePoint>{
           {3, 83500, ""}, {3, 83500, "/a\nb.mp3"}, {3, 0, "/a.mp3"}, {10, 5, "/a.mp3"}}) {
    EXPECT_EQ(engine::resumeFileText(none), std::nullopt) << none.path << " " << none.state;
  }
  for (const char* bad : {"", "Tunora resume 2\nstate 0\nposition 5\npath /a.mp3\n",
                          "Tunora resume 1\nstate 0\nposition 5\npath /a.mp3",  // cut short
                          "Tunora resume 1\nstate -1\nposition 5\npath /a.mp3\n",
                          "Tunora resume 1\nstate 0\nposition 5x\npath /a.mp3\n",
                          "Tunora resume 1\nstate 0\nposition 0\npath /a.mp3\n",
                          "Tunora resume 1\nstate 0\nposition 5\npath \n",
                          "Tunora resume 1\nstate 0\nposition 5\npath /a.mp3\nmore\n"}) {
    EXPECT_EQ(engine::parseResumeFile(bad), std::nullopt) << bad;
  }

  TempDir dir;
  ASSERT_TRUE(engine::writeResumePoint(dir.folder(), point).ok());
  EXPECT_EQ(readBytes(dir.file("Resume.txt")), std::vector<uint8_t>(text.begin(), text.end()));
  EXPECT_EQ(engine::readResumePoint(dir.folder()), point);
  ASSERT_TRUE(engine::writeResumePoint(dir.folder(), std::nullopt).ok());
  EXPECT_FALSE(std::filesystem::exists(dir.file("Resume.txt")));
  EXPECT_EQ(engine::readResumePoint(dir.folder()), std::nullopt);
}

constexpr int kSongs = 20;

std::string songPath(int i) { return "/music/song" + std::to_string(i) + ".mp3"; }

class ResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(writeSongTable(dir_.file("Tunora.mbf"), plainSongs(kSongs)));
    for (int i = 0; i < kSongs; ++i) media_.setLength(songPath(i), 600000);
    std::vector<std::string> list;
    for (int i = 1; i <= 6; ++i) list.push_back(songPath(i));
    ASSERT_TRUE(media::writePlayList(media::playListFileName(dir_.folder(), 0), list).ok());
  }
  // One start of the program, nothing built or played by itself.
  std::unique_ptr<ProgramRun> run() {
    auto run = std::make_unique<ProgramRun>(env_, media_, dir_.folder(), [](Settings& s) {
      s = firstRunSettings();
      s.set(settings::kAutoBuild, 0);
      s.set(settings::kAutoPlay, 0);
    });
    EXPECT_TRUE(run->start(false));
    return run;
  }
  // Plays (or skips to) the next song; true once `path` plays.
  bool playNext(ProgramRun& run, const std::string& path) {
    return run.request(player::kRequestPlay) && media_.openPath() == path;
  }
  // The calls that opened and started songs.
  std::vector<std::string> starts() {
    std::vector<std::string> out;
    for (const std::string& call : media_.calls()) {
      if (call.rfind("open ", 0) == 0 || call == "play" || call.rfind("playFrom ", 0) == 0) {
        out.push_back(call);
      }
    }
    return out;
  }

  TempDir dir_;
  FakeEnv env_;
  ui::FakeMediaWindow media_{env_};
};

TEST_F(ResumeTest, TheSongPlayingOrPausedAtTheQuitStartsWhereItStoppedNextTime) {
  int64_t left_at = 0;
  {
    auto first = run();
    ASSERT_TRUE(playNext(*first, songPath(1)));
    ASSERT_TRUE(driveFor(env_, std::chrono::milliseconds(83000), std::chrono::milliseconds(100)));
    ASSERT_TRUE(first->quit());
    const ResumePoint kept = engine::readResumePoint(dir_.folder()).value_or(ResumePoint{});
    EXPECT_EQ(kept.path, songPath(1));
    EXPECT_TRUE(kept.position_ms >= 83000 && kept.position_ms <= 84000) << kept.position_ms;
    left_at = kept.position_ms;
  }
  // Started again, the song is on top of the saved list and nothing plays yet; quitting now
  // keeps the place and the list, without the song twice.
  {
    auto second = run();
    EXPECT_EQ(second->listPaths(),
              (std::vector<std::string>{songPath(1), songPath(2), songPath(3), songPath(4),
                                        songPath(5), songPath(6)}));
    ASSERT_TRUE(second->quit());
    EXPECT_EQ(engine::readResumePoint(dir_.folder()), (ResumePoint{0, left_at, songPath(1)}));
  }
  {
    auto third = run();
    ProgramRun& run = *third;
    EXPECT_EQ(run.listPaths().size(), 6u);
    media_.clearCalls();
    ASSERT_TRUE(playNext(run, songPath(1)));
    EXPECT_EQ(starts(), (std::vector<std::string>{"open " + songPath(1),
                                                  "playFrom " + std::to_string(left_at)}));
    // The next song starts from its beginning; paused at the quit, the pause's place is kept.
    media_.clearCalls();
    ASSERT_TRUE(playNext(run, songPath(2)));  // skip
    EXPECT_EQ(starts(), (std::vector<std::string>{"open " + songPath(2), "play"}));
    ASSERT_TRUE(driveFor(env_, std::chrono::milliseconds(5000), std::chrono::milliseconds(100)));
    run.program().words().player_request.store(player::kRequestPause);
    ASSERT_TRUE(run.until([&] { return run.program().words().playing.load() == 0; }));
    ASSERT_TRUE(driveFor(env_, std::chrono::milliseconds(60000), std::chrono::milliseconds(500)));
    ASSERT_TRUE(run.quit());
    const ResumePoint kept = engine::readResumePoint(dir_.folder()).value_or(ResumePoint{});
    EXPECT_EQ(kept.path, songPath(2));
    EXPECT_TRUE(kept.position_ms >= 5000 && kept.position_ms <= 5600) << kept.position_ms;
  }
  // Stopped by the user before the quit: nothing to resume.
  auto fourth = run();
  ASSERT_TRUE(playNext(*fourth, songPath(2)));
  ASSERT_TRUE(fourth->stopPlaying());
  ASSERT_TRUE(fourth->quit());
  EXPECT_FALSE(std::filesystem::exists(dir_.file("Resume.txt")));
}

}  // namespace
}  // namespace tunora::testing

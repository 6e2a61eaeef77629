// Resuming where the program left off: the resume file's bytes, and the whole program quitting
// in the middle of a song and starting again from the same data directory, over the fake media
// window in virtual time. The song playing at the quit goes back on top of the list and starts
// where it stopped; quitting again before it was played keeps that place; a song stopped by the
// user is not resumed.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/program.h"
#include "engine/lock_codes.h"
#include "engine/resume_point.h"
#include "media/playlist_file.h"
#include "player/player.h"
#include "settings/settings_file.h"
#include "tests/engine/builder_fixture.h"
#include "tests/engine/program_fixture.h"
#include "tests/player/fake_player_window.h"
#include "tests/support/fake_media_window.h"

namespace tunora::testing {
namespace {

using engine::ResumePoint;

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ResumeFileTest, BytesOfTheFileAndWhatIsRefused) {
  const ResumePoint point{3, 83500, "/music/Blue Moon.mp3"};
  EXPECT_EQ(engine::resumeFileText(point),
            "Tunora resume 1\nstate 3\nposition 83500\npath /music/Blue Moon.mp3\n");
  EXPECT_EQ(engine::parseResumeFile(
                "Tunora resume 1\nstate 3\nposition 83500\npath /music/Blue Moon.mp3\n"),
            point);
  // Nothing to keep: no path, a line break in it, no position, a state out of range.
  EXPECT_EQ(engine::resumeFileText({3, 83500, ""}), std::nullopt);
  EXPECT_EQ(engine::resumeFileText({3, 83500, "/a\nb.mp3"}), std::nullopt);
  EXPECT_EQ(engine::resumeFileText({3, 0, "/a.mp3"}), std::nullopt);
  EXPECT_EQ(engine::resumeFileText({10, 5, "/a.mp3"}), std::nullopt);
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
  EXPECT_EQ(fileText(dir.file("Resume.txt")),
            "Tunora resume 1\nstate 3\nposition 83500\npath /music/Blue Moon.mp3\n");
  EXPECT_EQ(engine::readResumePoint(dir.folder()), point);
  ASSERT_TRUE(engine::writeResumePoint(dir.folder(), std::nullopt).ok());
  EXPECT_FALSE(std::filesystem::exists(dir.file("Resume.txt")));
  EXPECT_TRUE(engine::writeResumePoint(dir.folder(), std::nullopt).ok()) << "none is fine";
  EXPECT_EQ(engine::readResumePoint(dir.folder()), std::nullopt);
}

constexpr int kSongs = 20;
constexpr int64_t kSongLength = 600000;

std::string songPath(int i) { return "/music/song" + std::to_string(i) + ".mp3"; }

// One start of the program over the data directory, up to its quit and saves.
class ProgramRun {
 public:
  ProgramRun(FakeEnv& env, ui::FakeMediaWindow& media, const std::string& data_dir)
      : env_(env), data_dir_(data_dir), program_(env) {
    Settings& s = program_.settings();
    s = firstRunSettings();
    s.setText(settings::kDatabasePath, data_dir + "Tunora.mbf");
    s.set(settings::kAutoBuild, 0);
    s.set(settings::kAutoPlay, 0);
    program_.setDataDirectory(data_dir);
    program_.attachWindow(&commands_);
    player_ = &program_.createPlayer(media, window_);
    EXPECT_TRUE(program_.loadStatePlayList());
    EXPECT_TRUE(program_.startSupervisor());
    EXPECT_TRUE(program_.startPlayer());
  }
  ~ProgramRun() {
    program_.words().stopping.store(1);
    ClockDriver clock(env_, std::chrono::milliseconds(100));
    program_.stopThreads();
    program_.attachWindow(nullptr);
  }
  std::vector<std::string> listPaths() {
    std::vector<std::string> paths;
    for (const auto& row : program_.playList().rows()) paths.push_back(row[3]);
    return paths;
  }
  bool until(const std::function<bool()>& done) {
    return driveUntil(env_, done, std::chrono::milliseconds(50));
  }
  bool playUntil(ui::FakeMediaWindow& media, const std::string& path) {
    const int32_t repaints = window_.text_repaints.load();
    program_.words().player_request.store(player::kRequestPlay);
    return until([&] {
      return media.openPath() == path && window_.text_repaints.load() > repaints &&
             player_->state().position.load() >= 0;
    });
  }
  // The quit as the window does it, then the saves.
  bool quit() {
    program_.closeWindow();
    if (!until([&] { return commands_.received(engine::kCommandFinishQuit); })) return false;
    program_.words().player_request.store(player::kRequestStop);
    {
      ClockDriver clock(env_, std::chrono::milliseconds(100));
      program_.stopThreads();
    }
    return program_.saveResumePoint().ok() &&
           saveSettings(program_.settings(), data_dir_, {nullptr, &program_.playListStore()}).ok();
  }
  Program& program() { return program_; }

 private:
  FakeEnv& env_;
  std::string data_dir_;
  RecordingWindow commands_;
  FakePlayerWindow window_;
  Program program_;
  player::Player* player_ = nullptr;
};

class ResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_dir_ = dir_.folder();
    ASSERT_TRUE(writeSongTable(data_dir_ + "Tunora.mbf", plainSongs(kSongs)));
    for (int i = 0; i < kSongs; ++i) media_.setLength(songPath(i), kSongLength);
    std::vector<std::string> list;
    for (int i = 1; i <= 6; ++i) list.push_back(songPath(i));
    ASSERT_TRUE(media::writePlayList(media::playListFileName(data_dir_, 0), list).ok());
  }
  std::vector<std::string> calls() { return media_.calls(); }
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
  std::string data_dir_;
  FakeEnv env_;
  ui::FakeMediaWindow media_{env_};
};

TEST_F(ResumeTest, TheSongPlayingAtTheQuitStartsWhereItStoppedNextTime) {
  int64_t left_at = 0;
  {
    ProgramRun run(env_, media_, data_dir_);
    ASSERT_TRUE(run.playUntil(media_, songPath(1)));
    ASSERT_TRUE(driveFor(env_, std::chrono::milliseconds(83000), std::chrono::milliseconds(100)));
    ASSERT_TRUE(run.quit());
    const std::optional<ResumePoint> kept = engine::readResumePoint(data_dir_);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->path, songPath(1));
    EXPECT_EQ(kept->state, 0);
    EXPECT_GE(kept->position_ms, 83000);
    EXPECT_LE(kept->position_ms, 84000);
    left_at = kept->position_ms;
  }
  // Started again, the song is on top of the saved list and nothing plays yet; quitting now
  // keeps the place and the list, without the song twice.
  {
    ProgramRun run(env_, media_, data_dir_);
    EXPECT_EQ(run.listPaths(), (std::vector<std::string>{songPath(1), songPath(2), songPath(3),
                                                         songPath(4), songPath(5), songPath(6)}));
    ASSERT_TRUE(run.quit());
    EXPECT_EQ(engine::readResumePoint(data_dir_), (ResumePoint{0, left_at, songPath(1)}));
  }
  {
    ProgramRun run(env_, media_, data_dir_);
    EXPECT_EQ(run.listPaths().size(), 6u);
    media_.clearCalls();
    ASSERT_TRUE(run.playUntil(media_, songPath(1)));
    EXPECT_EQ(starts(), (std::vector<std::string>{"open " + songPath(1),
                                                  "playFrom " + std::to_string(left_at)}));
    // The next song starts from its beginning.
    media_.clearCalls();
    ASSERT_TRUE(run.playUntil(media_, songPath(2)));  // skip
    EXPECT_EQ(starts(), (std::vector<std::string>{"open " + songPath(2), "play"}));
    // Stopped by the user before the quit: nothing to resume.
    run.program().words().player_request.store(player::kRequestStop);
    ASSERT_TRUE(run.until([&] { return run.program().words().playing.load() == 0; }));
    ASSERT_TRUE(run.quit());
    EXPECT_FALSE(std::filesystem::exists(data_dir_ + "Resume.txt"));
  }
}

// Paused at the quit: the place of the pause is kept.
TEST_F(ResumeTest, ASongPausedAtTheQuitResumesAtThePause) {
  {
    ProgramRun run(env_, media_, data_dir_);
    ASSERT_TRUE(run.playUntil(media_, songPath(1)));
    ASSERT_TRUE(driveFor(env_, std::chrono::milliseconds(5000), std::chrono::milliseconds(100)));
    run.program().words().player_request.store(player::kRequestPause);
    ASSERT_TRUE(run.until([&] { return run.program().words().playing.load() == 0; }));
    ASSERT_TRUE(driveFor(env_, std::chrono::milliseconds(60000), std::chrono::milliseconds(500)));
    ASSERT_TRUE(run.quit());
  }
  const std::optional<ResumePoint> kept = engine::readResumePoint(data_dir_);
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->path, songPath(1));
  EXPECT_GE(kept->position_ms, 5000);
  EXPECT_LE(kept->position_ms, 5600);
}

}  // namespace
}  // namespace tunora::testing

// The whole program in virtual time, for tests: one start over a data directory with the
// supervisor (and its request executor), the builder and the player on a media window (the fake
// one, or GStreamer), up to the quit and its saves, with the window faked by a RecordingWindow
// (a window test attaches the real window's channel instead).
#pragma once

#include <string>
#include <vector>

#include "app/program.h"
#include "player/player.h"
#include "settings/settings_file.h"
#include "tests/support/clock_driver.h"
#include "tests/support/recording_window.h"

namespace tunora::testing {

class ProgramRun {
 public:
  // Settings come from the data directory's file, else from `first_run`; `library` is the
  // library's path ("Tunora.mbf" in the data directory when empty). The state's play list is
  // loaded as at start-up; no thread runs before start().
  ProgramRun(FakeEnv& env, ui::MediaWindow& media, const std::string& data_dir,
             const std::function<void(Settings&)>& first_run, const std::string& library = "")
      : env_(env), data_dir_(data_dir), program_(env) {
    Settings& s = program_.settings();
    if (!loadSettings(data_dir, data_dir, s).found) first_run(s);
    s.setText(settings::kDatabasePath, library.empty() ? data_dir + "Tunora.mbf" : library);
    program_.setDataDirectory(data_dir);
    program_.context().network_refresh_counter = 200;  // as start-up leaves it
    program_.attachWindow(&window_);
    player_ = &program_.createPlayer(media, window_);
    loaded_ = program_.loadStatePlayList();
  }
  ~ProgramRun() { stop(); }
  // Stops the threads, as at the end of the run.
  void stop() {
    program_.words().stopping.store(1);
    program_.words().player_request.store(player::kRequestStop);
    ClockDriver clock(env_, std::chrono::milliseconds(100));
    program_.stopThreads();
    program_.attachWindow(nullptr);
  }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool start(bool builder = true) {
    return loaded_ && program_.startSupervisor() && (!builder || program_.startBuilder()) &&
           program_.startPlayer();
  }
  bool until(const std::function<bool()>& done,
             std::chrono::milliseconds step = std::chrono::milliseconds(5)) {
    return driveUntil(env_, done, step);
  }
  // Posts a player request and waits until the song it switches to plays (the display repainted).
  bool request(int32_t request) {
    const int32_t repaints = window_.text_repaints.load() + window_.video_repaints.load();
    program_.words().player_request.store(request);
    return until([&] {
      return window_.text_repaints.load() + window_.video_repaints.load() > repaints &&
             player_->state().position.load() >= 0;
    });
  }
  bool stopPlaying() {
    program_.words().player_request.store(player::kRequestStop);
    return until([&] { return program_.words().playing.load() == 0; });
  }
  // The quit as the window does it (the close request, command 2031, the threads stopped), then
  // the saves: the resume point and the settings with the play list.
  bool quit() {
    program_.closeWindow();
    if (!until([&] { return window_.received(engine::kCommandFinishQuit); })) return false;
    program_.words().player_request.store(player::kRequestStop);
    {
      ClockDriver clock(env_, std::chrono::milliseconds(100));
      program_.stopThreads();
    }
    program_.noteEditQueueCount();
    return program_.saveResumePoint().ok() &&
           saveSettings(program_.settings(), data_dir_, {nullptr, &program_.playListStore()}).ok();
  }
  // The play list's file names, top first.
  std::vector<std::string> listPaths() {
    std::vector<std::string> paths;
    for (const auto& row : program_.playList().rows())
      paths.push_back(row[engine::kFileNameColumn]);
    return paths;
  }

  Program& program() { return program_; }
  player::Player& player() { return *player_; }
  RecordingWindow& window() { return window_; }

 private:
  FakeEnv& env_;
  std::string data_dir_;
  RecordingWindow window_;
  Program program_;
  player::Player* player_ = nullptr;
  bool loaded_ = false;
};

}  // namespace tunora::testing

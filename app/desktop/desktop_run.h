// One run of the desktop program after its command line was read: the composition root's steps
// in order. Start-up (settings, the instance lock, the welcome), then the window's workers, the
// player and the window, the status bar and the dialogs' sources, the request executor's work,
// the window shown, the threads started, the paths handed over, the event loop and the save at
// the end.
//
// The members are declared in the order they are made: they go in the reverse order, the
// program object last (the window reads its play list until it is gone).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop/forwarding_window.h"
#include "app/program.h"
#include "engine/executor_work.h"
#include "engine/random_source.h"
#include "player/gst/gst_media_window.h"
#include "ui/cover_loader.h"
#include "ui/current_song.h"
#include "ui/engine_status_sources.h"
#include "ui/qt/desktop.h"
#include "ui/quick_link_builder.h"
#include "ui/window_state.h"
#include "util/env.h"

namespace tunora {

class DesktopRun {
 public:
  // `paths`: the paths handed on the command line, already checked (acceptedPaths).
  // `argc` lives as long as this object (the application object keeps a reference to it).
  DesktopRun(int& argc, char** argv, std::vector<std::string> paths);
  DesktopRun(const DesktopRun&) = delete;
  DesktopRun& operator=(const DesktopRun&) = delete;

  // Runs the program; the process's exit status (see runDesktopProgram).
  int run(const std::string& command_line);

 private:
  // Start-up's dialogs and checks; the exit status when the program ends there (another player,
  // a hand-over, the media filler, a missing toolbar).
  std::optional<int> runStartUp(const std::string& command_line);
  // The cover loader and the quick-link builder, as the supervisor's first workers.
  void addWindowWorkers();
  // The player over the forwarding window, then the window, which takes the player's place.
  void createPlayerAndWindow();
  // The status bar's texts, the dialogs' sources, the cover loader and the quick links.
  void connectStatusAndDialogs();
  // What the request executor does for the window, and the shutdown after a build.
  void registerExecutorWork();
  // The play list loaded and the window shown, with the data folder's state.
  void showWindow();
  // The supervisor, the player, the buffering or checksum pass, and the list builder.
  [[nodiscard]] bool startThreads();
  // The session-end save and the paths handed over, now and by later starts.
  void offerPaths();
  // The event loop, then the threads stopped and the settings saved.
  int runAndSave();
  // Every way out after the window was made stops the threads first: they use its parts.
  void stop();

  const std::vector<std::string> paths_;
  // With TUNORA_TRACE set, each song that starts and each status text is printed to stderr
  // (for scripts and tests that watch the program from outside).
  const bool trace_;
  Env& env_;
  // The program object starts no thread when made. The window's state and the desktop come
  // after it, so that they go first at the end. The desktop's constructor blocks the termination
  // signals for every thread that follows; start-up's dialogs need it.
  Program program_;
  ui::WindowState window_state_;
  ui::qt::Desktop desktop_;
  std::string data_dir_;  // set by startUp
  std::unique_ptr<ui::CoverLoader> cover_loader_;
  std::unique_ptr<ui::QuickLinkBuilder> quick_links_;
  ForwardingWindow forwarding_;
  std::optional<gst::GstMediaWindow> media_;
  player::Player* player_ = nullptr;
  std::string traced_song_;  // the player thread's
  std::optional<ui::EngineStatusSources> sources_;
  engine::EnvRandomSource random_;
  std::optional<ui::PlayerCurrentSong> current_song_;
  std::optional<engine::ExecutorWork> work_;
};

}  // namespace tunora

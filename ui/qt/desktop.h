// The desktop side of the program as the composition root sees it, with no Qt type in sight:
// the application object, the message dialog (usable from start-up on), the toolbar images, the
// main window and everything it implements for the engine's threads, the video area, the cover
// picture, power-off, and the event loop. The program (app/) builds it first, runs start-up
// with its dialogs, creates the window over the program's parts, starts the threads and runs
// the loop. Create, use and destroy it on the process's main thread.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/executor_work.h"
#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "engine/update_queue.h"
#include "engine/update_writer.h"
#include "engine/window_channel.h"
#include "network/network_texts.h"
#include "platform/message_dialog.h"
#include "platform/video_frames.h"
#include "platform/welcome.h"
#include "player/player_state.h"
#include "player/player_window.h"
#include "settings/settings.h"
#include "settings/settings_save_sources.h"
#include "ui/cover_loader.h"
#include "ui/geometry.h"
#include "ui/qt/dialog_parts.h"
#include "ui/qt/filler_parts.h"
#include "ui/shutdown.h"
#include "ui/status_text.h"
#include "ui/window_context.h"
#include "ui/window_state.h"

namespace tunora::ui::qt {

struct DesktopWindowParts {
  engine::SharedLock& lock;
  Settings& settings;
  engine::PlayList& play_list;
  engine::StatusMessage& status;
  player::PlayerState& player;
  WindowContext& context;
  engine::UpdateWriter& writer;
  const engine::UpdateQueue& queue;
  WindowState& window_state;
  std::function<void(int32_t)> start_state_switch;
};

class Desktop {
 public:
  // Creates the application object. `program_directory` (ending in "/") holds "ToolBar.bmp"
  // and "ReadMe.htm".
  Desktop(int& argc, char** argv, const std::string& program_directory);
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  MessageDialog& dialog();
  // Start-up's welcome dialog; its "Import music now" becomes request 13 when the window is made.
  WelcomeDialog& welcome();
  PowerControl& powerOff();
  VideoFrameConsumer& videoFrames();
  PictureDecoder& coverPicture();

  // Reads "ToolBar.bmp". When it is missing: the message dialog "ToolBar not found in program
  // directory" ("OK", "Open directory", which opens the folder) and false.
  bool loadToolBar();

  // Creates the main window (hidden) with the saved placement and column widths.
  void createWindow(const DesktopWindowParts& parts);
  // The window's parts for the engine (valid after createWindow).
  engine::WindowChannel& channel();
  player::PlayerWindow& playerWindow();
  engine::ExecutorWindow& executorWindow();
  WindowStateSource& windowState();
  // Carries the status texts to the window's thread (any thread).
  std::function<void(const StatusTexts&)> statusShow();
  // Repaints a rectangle of the display (any thread).
  std::function<void(const Rect&)> repaintArea();
  // The status refresh for the player's PlayerWindow::refreshStatus.
  void setRefreshStatus(std::function<void()> refresh);
  // What the window's dialogs use of the program (after createWindow).
  void setDialogSources(const DialogSources& sources);
  // The library's live-record count, of which About shows the songs (read on the window thread).
  void setLiveRecordCount(std::function<int32_t()> count);

  // Shows the window, applies "On Top", sets the play button's image when playing at once.
  void showWindow(bool playing);
  // Lets a second start hand over to this player (instance_hand_over.h) until the window is
  // destroyed: its window is raised and `open` gets the paths handed over (on the window's
  // thread). Without a session bus nothing is offered.
  void offerHandOver(std::function<void(std::vector<std::string>)> open);
  // Called once when command 2031 destroys the window; the loop ends after it returns.
  void setOnDestroy(std::function<void()> on_destroy);
  // Called when the desktop session ends (the settings are saved then).
  void setOnSessionEnd(std::function<void()> on_session_end);
  // SIGTERM, SIGINT and SIGHUP close the window as its close button does (from this call on;
  // one that came earlier waits for it).
  void closeOnTerminationSignals();
  // Whether one of them came during start-up, before any window: start-up's dialogs were closed
  // as their close boxes close them, and the program is to end.
  bool terminationRequested() const;
  // Prints to stderr the monotonic clock's time (CLOCK_MONOTONIC, ms) when the window's first
  // frame is painted and, when the loop ends, the longest stall of the event loop after it (for
  // benchmarks and tests).
  void traceTiming();
  // Runs the event loop until the window is destroyed. Returns 0.
  int run();
  // Stops every dialog and cross-thread call from waiting for the window (before the threads
  // are joined).
  void detachWindow();

  // ---- The media filler instance (instead of the main window) ----
  // Shows the window "Tunora Media Filler" over `parts` and runs the event loop until it
  // closes (its "Close", its close box, or a termination signal). A running fill is told to
  // stop and the message dialog answers no more questions; the caller then joins the threads.
  // With `trace`, the window's first paint and each title are printed to stderr. Returns 0.
  int runFiller(const FillerWindowParts& parts, bool trace);

 private:
  void watchTerminationSignals();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tunora::ui::qt

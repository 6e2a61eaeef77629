// The main window's command table: one command number (with its parameter) in, its effect out.
// The effects are on the shared words (the player request word, the build-request word, the
// abort flag), on the shared lock (requests for the request executor), on the settings, and on
// the window through WindowActions. Runs on the window thread; never waits for the database.
//
// Effects in short (P = player request word, B = build-request word, "request n" = the shared
// lock's postOrDefer(n, 0) unless said otherwise: posted when the lock's request word is free,
// else kept for the supervisor to post once it is, so the window thread never waits):
//   1 not playing: B := 10 when the list is empty and B is 0 or above 1000; P := 1; minimize
//     with "AutoMini"; play button image 12.  Playing: P := 2.
//   2 P := 3.  3 P := 7.  4 P := 8.  5 playing: P := 4.  5250 P := 8.
//   6 lock free: alt mode set: details of the current record; online: Rate keypad, then
//     request 2 with the button; offline: the "Database is currently Offline." error.
//   7, 2024, 2033, 2029, 2034 search window (nothing while one is open).
//   9 Database dialog unless open.  10 Options.  11 ReadMe.  5352 details of the current record.
//   2032 details of record `parameter`.  2015 request 1 unless a details dialog is open.
//   2017 request 10.  2018 request 11.  2019 request 12.  2016 request 14.
//   2014 request 4 with the songs-prepared count.  2020 B := 10.  2021 abort := 1.
//   2022 songs prepared := 9999, then as a close.  2012 as a close.  2031 P := 3, destroy.
//   2023 network refresh counter := 100.  2026 B: 1999 -> 0, else 1999.
//   2027 B: above 999 -> 0, else 1000.  2004 write cached edits (online, updates waiting).
//   2025 media filler.  2028 LowerLeftView := 0, reload list and cover, repaint.
//   2101, 2102, 2110..2114: the view menu's target view := command - 2100; with a lower-left
//     list, UpperRightView := 1; reload list and cover.
//   2200..2209 StateUser.  2220..2229 StateAltMode.  2240..2249 state switch.
//   5000 OnTop toggled and applied.  2005 maximized.  2006, 5402 About unless open.
//   7777 test functions toggled.
#pragma once

#include <cstdint>

#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "engine/update_queue.h"
#include "engine/update_writer.h"
#include "engine/window_channel.h"
#include "network/network_context.h"
#include "platform/message_dialog.h"
#include "player/player_state.h"
#include "settings/settings.h"
#include "ui/window_actions.h"
#include "ui/window_state.h"

namespace tunora::ui {

inline constexpr char kOfflineRateMessage[] = "Database is currently Offline.";

struct CommandParts {
  engine::SharedLock& lock;  // and through it the shared words
  Settings& settings;
  engine::PlayList& play_list;
  engine::StatusMessage& status;
  player::PlayerState& player;       // the current song and the play-chosen-song flag
  network::NetworkContext& context;  // the network copy's refresh counter
  engine::UpdateWriter& writer;
  const engine::UpdateQueue& queue;
  WindowState& window_state;
  WindowActions& window;
  MessageDialog& dialog;
  // The window's own command channel (queued to the window thread): command 2031 at a close
  // while the quit is final.
  engine::WindowChannel& channel;
};

enum class CommandOutcome {
  kHandled,  // the command is in the table (its effect may have been nothing, as the table says)
  kUnknown,  // not a command of the table: default handling
};

class CommandDispatcher {
 public:
  explicit CommandDispatcher(CommandParts parts) : p_(parts) {}

  CommandOutcome dispatch(int32_t command, int32_t parameter = 0);

  // The window's close button (and the desktop asking the window to close): see
  // engine/quit_request.h. The first close requests the quit; a second while it waits aborts a
  // running build; while the quit is in progress it becomes final; when final, the window is
  // destroyed through command 2031 (posted to the channel).
  void closeRequested();

  // A double click on play-list row k (0 = top): request 3 with parameter k (the executor drops
  // the k rows above it and plays it). Kept for later when the lock is busy.
  void rowDoubleClicked(int32_t row);

  // The position slider moved to p (0..1000): when no player request and no seek is pending,
  // the seek target becomes length x p / 1000 (milliseconds) and player request 5 follows.
  // Returns whether a seek was asked for.
  bool sliderMoved(int32_t position);

 private:
  void play();
  void rate();
  void search(SearchMode mode, const std::string& artist);
  void setView(int32_t view);
  void request(int32_t code, int32_t parameter = 0);
  bool playing() const;

  CommandParts p_;
};

}  // namespace tunora::ui

// switchState: moving to another listening state. The play list belongs to the state: the old
// state's list is written to its play-list file, the list is emptied, and the new state's file is
// loaded, all under the shared lock (code 37), so no build pass or player switch sees the list
// half changed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "settings/settings.h"

namespace tunora::engine {

// The per-state controls of the options dialog.
struct PerStateControls {
  int32_t naughty_limit = 0;  // "Play up to ... songs."
  int32_t min_rating = 0;     // "Minimum play rating is"
  int32_t no_art_rep = 0;     // "No Art Rep"
  int32_t history = 0;        // "History"
};

// The options dialog while it is open: the switch stores its controls into the old state and
// shows the new state's values. Called on the switching thread; the dialog marshals to its own.
class StateControls {
 public:
  virtual ~StateControls() = default;
  virtual PerStateControls read() = 0;
  virtual void show(const PerStateControls& values) = 0;
};

// What the switch asks of Network mode's buffering. The default does nothing.
class StateSwitchHooks {
 public:
  virtual ~StateSwitchHooks() = default;
  // Called after the switch while the "Network" setting is on: the buffer level goes to 0 and
  // buffering starts over the new state's list.
  virtual void restartBuffering() {}
};

// The state-switch marker of the status bar's test mode: 3 after a switch whose library opening
// failed, 0 after one that opened it.
inline constexpr int32_t kSwitchLibraryUnavailable = 3;

enum class SwitchResult { kSwitched, kSameState, kBadState, kLockRefused };

class StateSwitcher {
 public:
  // hooks may be null.
  StateSwitcher(SharedLock& lock, LibraryAccess& library, Settings& settings, PlayList& play_list,
                StatusMessage& status, StateSwitchHooks* hooks = nullptr);

  // The data directory (ending in "/") of the play-list files. Set once start-up knows it,
  // before any switch.
  void setDataDirectory(std::string directory) { data_dir_ = std::move(directory); }

  // Switches to state (0..9). Nothing happens when it is the current state, when it is out of
  // range, or when the lock (code 37, patience 10: up to 5 s) is not granted. dialog is the open
  // options dialog, or null. Blocks while it waits for the lock; not for the thread that holds a
  // grant, nor for the request executor.
  SwitchResult switchState(int32_t state, StateControls* dialog = nullptr);

  int32_t marker() const { return marker_.load(); }

 private:
  void switchUnderGrant(int32_t state, StateControls* dialog);

  SharedLock& lock_;
  LibraryAccess& library_;
  Settings& settings_;
  PlayList& play_list_;
  StatusMessage& status_;
  std::string data_dir_;
  StateSwitchHooks* hooks_;
  std::atomic<int32_t> marker_{0};
};

}  // namespace tunora::engine

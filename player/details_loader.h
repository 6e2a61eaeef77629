// The next-song details loader and the lookup of a song by its path. The supervisor runs
// loadSongDetails on a thread of its own while music plays, to read the top play-list row's
// details ahead; the player calls it during a switch when they were not read ahead.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "player/player_state.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora::player {

// Tries of findSongByPath before the loader gives up; from the fourth on, each waits first, in
// steps, so that a quit asked for meanwhile is seen within one step.
inline constexpr int32_t kLookupTries = 11;
inline constexpr std::chrono::seconds kLookupRetryWait{5};
inline constexpr std::chrono::milliseconds kLookupWaitStep{100};

class DetailsLoader {
 public:
  // `refresh_status` (may be empty) recomposes the status bar; any thread.
  DetailsLoader(engine::SharedLock& lock, engine::LibraryAccess& library, Settings& settings,
                engine::PlayList& play_list, PlayerState& state, Env& env,
                std::function<void()> refresh_status = {})
      : lock_(lock),
        library_(library),
        settings_(settings),
        play_list_(play_list),
        state_(state),
        env_(env),
        refresh_status_(std::move(refresh_status)) {}

  // loadSongDetails: for the player's switch (it holds grant 20) the play path's details become
  // the current song's; otherwise, under grant 21, the top row's become the next-song details
  // (valid). -1 when the loader reading ahead is busy or its grant was not had, else 1. A song
  // not found after 11 tries gets slot -1; tries are repeated only while the table does not
  // open or another lookup runs, not when the table says it has no such path nor when the
  // library's file is not there at all (that sets the library-missing word, which the status bar
  // shows; a table that opens clears it). A quit asked for (or the program stopping) ends the
  // tries at once. A loaded FileId of 0 lowers "Hash Stat" by 10 (not below 0).
  // The player's call does not take the busy flag: a loader reading ahead can only be waiting
  // for grant 21 while the player holds grant 20, and a switch refused here would go on with
  // the previous song's details, so auto-rate would rate the wrong song.
  int32_t loadSongDetails(bool for_player);

  // findSongByPath: opens the song table for reading, finds `path` in the FileName column and
  // loads the record's details for `user`; closes the table. The slot, or -1 when not found,
  // when the table did not open, or when another lookup runs. The caller holds a grant.
  int32_t findSongByPath(const std::string& path, int32_t user, SongDetails& details);

  // The supervisor's condition for starting the loader (beside "music plays, nothing granted"):
  // the next-song details are not valid, the loader is idle and more than 3 songs are prepared.
  bool wanted() const;
  bool busy() const { return busy_.load() != 0; }

 private:
  SongDetails lookUpWithRetries(const std::string& path);
  // findSongByPath, also saying whether the answer is final: the table opened and was searched,
  // or the library's file is missing.
  int32_t lookUp(const std::string& path, int32_t user, SongDetails& details, bool& final);
  // A quit is asked for or the program stops.
  bool quitting() const;
  // Sleeps kLookupRetryWait in steps; false when a quit came meanwhile.
  bool waitBeforeRetry();

  engine::SharedLock& lock_;
  engine::LibraryAccess& library_;
  Settings& settings_;
  engine::PlayList& play_list_;
  PlayerState& state_;
  Env& env_;
  std::function<void()> refresh_status_;
  std::atomic<int32_t> busy_{0};
  std::atomic<int32_t> lookup_busy_{0};
};

}  // namespace tunora::player

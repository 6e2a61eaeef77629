// Putting a song at the top of the play list by its path (the search window's "Play Next" and
// double-click): under its own grant (code 31) the path is looked up in the library and, when it
// is a library song, a row for it goes on top of the list; the next-song details read ahead are
// then stale. Playing it at once is command 1 to the main window when nothing plays, else 5.
#pragma once

#include <string>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "player/player_state.h"
#include "settings/settings.h"

namespace tunora::ui {

struct PlayListTopParts {
  engine::SharedLock& lock;
  engine::LibraryAccess& library;
  const Settings& settings;
  engine::PlayList& play_list;
  engine::StatusMessage& status;
  player::PlayerState& player;
};

// True when the row went on top. Waits for the grant (patience 10): call on a worker thread.
bool putSongAtTop(const PlayListTopParts& parts, const std::string& path);

// The command that plays the new top row at once: play (1) when nothing plays, else skip (5).
int32_t playAtOnceCommand(const engine::SharedWords& words);

}  // namespace tunora::ui

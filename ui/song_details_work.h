// The Song details dialog's database work without the window: one step of the dialog's work
// state (load, "<", ">", "Save", "Close", "Load ID", "Find", "Find More", "Delete") under the
// dialog's grant 36, and "Play"/"Next" putting a song at the top of the play list under grant
// 31. Both run on a worker thread; the window shows the outcome. Nothing here waits for the
// user: the questions ("Find"'s text, "Delete"'s confirmation) are asked before the work starts
// and the answers ("No matches found", the offline refusal) are shown after it ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "maintenance/song_details.h"
#include "player/player_state.h"
#include "settings/settings.h"

namespace tunora::ui {

// What the work uses of the program. Any thread.
struct DetailsWorkParts {
  engine::SharedLock& lock;
  engine::LibraryAccess& library;
  Settings& settings;
  int32_t fixed_user;          // kNoFixedUser (999) or the installation's user
  std::string data_directory;  // ends in "/": where a deleted song's file goes
};

// One step of the dialog.
struct DetailsRequest {
  maintenance::DetailsState state = maintenance::DetailsState::kLoad;
  bool delete_record = false;      // "Delete" (confirmed): state is then ignored
  int32_t record = 0;              // the shown record (DB Idx - 1)
  maintenance::SongFields fields;  // "Save"/"Close": what the fields hold
  std::string phrase;              // "Find"/"Find More": the search text
};

struct DetailsOutcome {
  bool granted = false;         // false: not had (or given up); the step is to be tried again
  bool offline = false;         // a writing step refused: Network mode's library is offline
  bool library_closed = false;  // the library did not open; nothing was done
  bool no_match = false;        // "Find"/"Find More" found nothing
  bool saved = false;           // "Save"/"Close" wrote the record
  bool close_dialog = false;    // "Delete" took the last song: the dialog closes
  bool loaded = false;          // `fields` hold record `record`
  int32_t record = 0;
  maintenance::SongFields fields;
  int32_t live_count = 0;    // live records of the library ("entries")
  std::string deleted_path;  // "Delete": the song's file (to be moved)
  std::string moved_to;      // "Delete": the file's new path, empty when it stayed put
};

// The step with grant 36 held: opens the library (for writing in the writing steps, refused
// offline), does the step, loads the record shown next and closes the library. A deleted
// song's file is moved into the data directory by runDetailsWork after the grant is released.
DetailsOutcome detailsStepWithGrant(DetailsWorkParts& parts, const DetailsRequest& request);

// The whole step: asks for grant 36 (patience 10), gives up on `abort` once granted, runs
// detailsStepWithGrant, releases the grant, then moves a deleted song's file.
DetailsOutcome runDetailsWork(DetailsWorkParts& parts, const DetailsRequest& request,
                              const std::atomic<bool>& abort);

}  // namespace tunora::ui

// Paths handed to the running player (its own command line, or another start's over the
// session bus): the media files, playlist files and folders are imported as the Database
// dialog's import does, under its grant (code 30); then the first song the import met goes on
// top of the play list (under code 31) and plays at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/window_channel.h"
#include "marlbase/table_handle.h"
#include "ui/put_at_top.h"

namespace tunora::ui {

struct OpenPathsParts {
  PlayListTopParts top;
  // The song table the import writes into (the library opening's).
  marlbase::TableHandle& table;
  // Network mode's local-copy change counter (set to 100 after an import).
  std::atomic<int32_t>& local_copy_changes;
  // The main window's command channel: the play-at-once command goes there.
  engine::WindowChannel& channel;
};

// Imports `paths` (absolute; folders end in "/") and plays the first song. Returns the song
// put on top, or empty when none was (nothing imported, the library offline or busy). Waits for
// the grants: call on a worker thread.
std::string openHandedPaths(const OpenPathsParts& parts, const std::vector<std::string>& paths);

}  // namespace tunora::ui

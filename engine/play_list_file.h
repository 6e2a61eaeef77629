// The play list and its files: writing the rows' paths to a playlist file, loading a file's
// songs onto the end of the list, the current listening state's file at start-up, and the
// play-list source through which saveSettings writes (or deletes) the state's file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/resume_point.h"
#include "marlbase/table_handle.h"
#include "settings/settings.h"
#include "settings/settings_save_sources.h"
#include "util/status.h"

namespace tunora::engine {

// The "FileName" column of every row, top first.
std::vector<std::string> playListPaths(const PlayList& play_list);

// Writes the rows' paths to the file at path, replacing it; an empty list gives an empty file.
Status writePlayListFile(const PlayList& play_list, const std::string& path);

// Appends the songs of the playlist at list_path to the play list, read for the current state's
// user (see media/playlist_load.h). table may be closed. The caller holds the grant while the
// table is open. An error, and nothing appended, when the file cannot be opened.
Status loadPlayListFile(PlayList& play_list, const std::string& list_path,
                        marlbase::TableHandle& table, const Settings& settings);

// The start of the window: opens the library for reading and, when it opened, appends the
// current state's play-list file from data_dir (ending in "/") and closes the library again.
// With `resume` (the song left off at the last quit) of the current state, that song then goes
// on top of the list unless it is the top row already (a list saved before it was started);
// `resume_on_top` (may be null) tells whether the top row is that song afterwards. False when
// the library did not open (nothing is loaded then). Runs before the program's threads start, or
// under a grant.
bool loadStatePlayList(LibraryAccess& library, const Settings& settings, PlayList& play_list,
                       const std::string& data_dir, const ResumePoint* resume = nullptr,
                       bool* resume_on_top = nullptr);

// The play list as saveSettings sees it: its prepared count (9999 once marked "do not save")
// and a writer of its paths.
class PlayListFileStore final : public PlayListStore {
 public:
  explicit PlayListFileStore(PlayList& play_list) : play_list_(play_list) {}
  int32_t preparedCount() override { return play_list_.songsPrepared(); }
  bool writePlayList(const std::string& path) override {
    return writePlayListFile(play_list_, path).ok();
  }

 private:
  PlayList& play_list_;
};

}  // namespace tunora::engine

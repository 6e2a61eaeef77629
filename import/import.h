// Import: songs from a folder (with all its subfolders) or from a playlist file, each new path
// becoming one song record with the default scores, its tag texts and its content checksum.
// Runs on a thread of its own while holding the database under lock code 30.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>

#include "engine/shared_lock.h"
#include "marlbase/table_handle.h"
#include "media/song_fill.h"
#include "settings/settings.h"

namespace tunora::media {

inline constexpr char kImportCompleteText[] = "Import Complete";
inline constexpr char kErrorImportingText[] = "Error Importing";

// The import box's two status lines. Called on the import thread.
class ImportStatus {
 public:
  virtual ~ImportStatus() = default;
  virtual void setLine1(const std::string& text) = 0;
  virtual void setLine2(const std::string& text) = 0;
  // Asks the main window to refresh its status display.
  virtual void refreshWindow() {}
};

class Importer {
 public:
  // `table` is the program's song-table handle; `local_copy_changes` the local-copy change
  // counter of Network mode, set to 100 after a successful import.
  Importer(engine::SharedLock& lock, marlbase::TableHandle& table, const Settings& settings,
           ImportStatus& status, std::atomic<int32_t>& local_copy_changes);

  // The import thread's body: a playlist when the source's last three characters, lower-cased,
  // are "txt" or "m3u", otherwise the folder parentFolderOf(source). Requests the lock (code 30,
  // patience 10); does nothing while the program is offline or when the lock is not granted.
  void runImport(const std::string& source);
  // The same under a grant of code 30 the caller holds (the command-line import).
  void runImportHolding(const engine::Grant& grant, const std::string& source);

  // Adds one song (the table must be open for writing). Its slot, or -1 when the path is in the
  // library already (letter case aside) or no record could be added.
  int32_t addSong(const std::string& path);
  // Imports every media file under folder (ending in "/"), entering no directory twice.
  void importFolder(const std::string& folder);

  // Files passed over because their path is longer than the path column holds.
  int64_t skippedLongPaths() const { return skipped_long_paths_; }
  int64_t songsAdded() const { return songs_added_; }

 private:
  void importUnderGrant(const std::string& source);
  bool stillHolding() const;
  // The library's paths, folded as lookups fold them, for the length of one import.
  void loadPathIndex();

  engine::SharedLock& lock_;
  engine::SharedWords& words_;
  marlbase::TableHandle& table_;
  const Settings& settings_;
  ImportStatus& status_;
  std::atomic<int32_t>& local_copy_changes_;
  TagOptions tag_options_;
  std::unordered_set<std::string> known_paths_;
  std::set<std::pair<dev_t, ino_t>> visited_;
  int64_t skipped_long_paths_ = 0;
  int64_t songs_added_ = 0;
};

}  // namespace tunora::media

// Import: songs from a folder (with all its subfolders) or from a playlist file, each new path
// becoming one song record with the default scores, its tag texts and its content checksum.
// Runs on a thread of its own while holding the database under lock code 30.
//
// A crash never leaves a half-written song: a new record's fields are all written into a free
// slot first and the slot is made live last (one 32-bit store), so every later reader sees the
// whole song or none. A known song that an interrupted import of an older version left
// unfinished (no texts, no scores, or no checksum) is finished when an import meets its path.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/shared_lock.h"
#include "marlbase/table_handle.h"
#include "media/song_fill.h"
#include "settings/settings.h"

namespace tunora::media {

inline constexpr char kImportCompleteText[] = "Import Complete";
inline constexpr char kErrorImportingText[] = "Error Importing";

// What one import did, for the line of counts that ends it.
struct ImportCounts {
  int64_t added = 0;
  int64_t known = 0;     // paths the library held already
  int64_t finished = 0;  // of those, songs an interrupted import had left unfinished
  // Skipped, by reason:
  int64_t unsupported = 0;  // files in folders of no enabled media type
  int64_t too_long = 0;     // paths longer than the path column (600) or the system (4,096)
  int64_t unreadable = 0;   // folders that cannot be listed, entries that cannot be examined
  int64_t not_paths = 0;    // playlist lines of control characters or invalid text naming no file
  int64_t skipped() const { return unsupported + too_long + unreadable + not_paths; }
};

// Whether a source ends in "txt" or "m3u" (letter case aside): a playlist file.
bool isListSource(const std::string& source);

// What a path handed to the program (its command line, another start) names: a folder, a
// playlist file, a media file of a known type (whatever the type switches say), or none of them
// (missing, or another kind of file).
enum class HandedPathKind { kNone, kMediaFile, kPlaylist, kFolder };
HandedPathKind handedPathKind(const std::string& path);

// "12 added, 3 already known, 2 skipped (1 unsupported type, 1 path too long)".
std::string importCountsLine(const ImportCounts& counts);

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
  // Paths handed to the program: each a media file (that one song), a playlist file or a folder
  // (ending in "/"), imported in order under one grant (code 30, patience 10); nothing while
  // the program is offline or when the lock is not granted. True when the import ran.
  bool runImportOfPaths(const std::vector<std::string>& paths);
  void runImportOfPathsHolding(const engine::Grant& grant, const std::vector<std::string>& paths);
  // The same under a grant of code 30 the caller holds (the command-line import).
  void runImportHolding(const engine::Grant& grant, const std::string& source);

  // Adds one song (the table must be open for writing). Its slot, or -1 when the path is in the
  // library already (letter case aside) or no record could be added.
  int32_t addSong(const std::string& path);
  // Imports every media file under folder (ending in "/"), entering no directory twice.
  void importFolder(const std::string& folder);

  // The counts of the last import.
  const ImportCounts& counts() const { return counts_; }
  // Files passed over because their path is longer than the path column holds.
  int64_t skippedLongPaths() const { return counts_.too_long; }
  int64_t songsAdded() const { return counts_.added; }
  // The first song the last import met, added or already known; empty when it met none.
  const std::string& firstSong() const { return first_song_; }
  // Why the last import ended in "Error Importing"; empty after a complete one.
  const std::string& errorReason() const { return error_reason_; }
  // What the last import repaired in the library before it began (a lost blank first record);
  // empty when nothing.
  const std::string& repairNote() const { return repair_note_; }

  // Called after each write to the table (tests end the process there to check that a crash
  // leaves the library whole).
  void TEST_setWriteHook(std::function<void()> hook) { write_hook_ = std::move(hook); }

 private:
  // `handed`: a source that is a media file is that one song (else its folder is imported).
  void importUnderGrant(const std::vector<std::string>& sources, bool handed);
  void importSource(const std::string& source, bool handed);
  bool stillHolding() const;
  void fail(const std::string& reason);
  // Why a table cannot take this import; empty when it can.
  std::string unusableTableReason();
  // Whether the library holds the path (the table's path lookup, which ignores the case of ASCII
  // letters); the first time an import meets a path the library held before it, a live song an
  // interrupted import left unfinished under that path is finished.
  bool knownPath(const std::string& path, const std::string& folded);
  bool unfinished(int32_t slot);
  bool finishSong(int32_t slot, const std::string& path);
  // The free slot the next song goes into (growing the table when needed), left free; -1 when
  // there is none.
  int32_t reserveSlot();
  std::string noSlotReason();
  void wrote() {
    if (write_hook_) write_hook_();
  }
  void onListLine(const std::string& path);

  engine::SharedLock& lock_;
  engine::SharedWords& words_;
  marlbase::TableHandle& table_;
  const Settings& settings_;
  ImportStatus& status_;
  std::atomic<int32_t>& local_copy_changes_;
  TagOptions tag_options_;
  // Folded paths this import has added or already looked at for an unfinished song.
  std::unordered_set<std::string> settled_paths_;
  std::set<std::pair<dev_t, ino_t>> visited_;
  ImportCounts counts_;
  std::string error_reason_;
  std::string first_song_;
  std::string repair_note_;
  std::function<void()> write_hook_;
};

}  // namespace tunora::media

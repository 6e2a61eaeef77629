// Replacing a file so that a crash or a full disk never leaves it damaged: the new contents go
// to a temporary file in the same folder, which is synced and then renamed over the old file.
// A reader sees either the old file or the new one, never a mixture or a cut-off file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "util/status.h"

namespace tunora {

// The points of a replacement, reported to a test hook.
enum class ReplaceStep {
  kCreated,      // the temporary file exists, empty
  kWrote,        // another chunk went out; `bytes` counts all bytes written so far
  kSynced,       // the temporary file's data is on disk
  kRenamed,      // the new file has taken the old one's name
  kFolderSynced  // the rename is on disk
};

struct ReplaceOptions {
  // Bytes per write call; 0 writes everything at once.
  size_t chunk_size = 0;
  // Never replace a file (or a link) already at the path: the commit then fails (nameTaken())
  // and removes the temporary file. The path is taken as given (links are not followed).
  bool keep_existing = false;
  // Whether the data and the rename are synced to disk. A cache that is checked before use and
  // rebuilt when damaged can do without: a power cut then costs its rebuild.
  bool sync = true;
  // Called at each step; tests use it to end the process in the middle of a replacement.
  std::function<void(ReplaceStep step, size_t bytes)> TEST_hook;
};

// The temporary name a replacement of `path` writes first: `path` + ".tmp" + the process id.
// One name per process: two processes saving at once do not share it. A file of this form whose
// process has ended was left by a kill (util/stale_temp_files.h removes it).
std::string temporaryNameFor(const std::string& path);

// rename() that never replaces a file (or a link) already at `to`, on every file system. False
// with errno set on failure (EEXIST when the name is taken).
bool renameKeepingExisting(const std::string& from, const std::string& to);

// A replacement written in pieces. The temporary file is created by the constructor (check
// status()); write() appends; commit() syncs it and renames it over the path, then syncs the
// folder. Until commit() succeeds the old file is untouched; a replacement destroyed without a
// successful commit (or after a failed write) removes its temporary file. Not for two threads.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& path, ReplaceOptions options = {});
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Ok while the replacement can go on; otherwise the first failure.
  const Status& status() const { return status_; }
  Status write(std::span<const uint8_t> bytes);
  Status write(std::string_view text);
  // The new file takes the path's name. Ok, or the first failure (kNoSpace when the disk is
  // full).
  Status commit();
  // With `keep_existing`: the commit failed because a file has the path's name.
  bool nameTaken() const { return name_taken_; }

 private:
  void discard();

  std::string path_;  // the file replaced (the end of a chain of links)
  std::string temp_;
  ReplaceOptions options_;
  int fd_ = -1;
  size_t written_ = 0;
  bool committed_ = false;
  bool name_taken_ = false;
  Status status_;
};

// Writes `parts`, one after the other, as the new contents of `path`. On failure the old file
// (if any) is left untouched, the temporary file is removed, and the status says what failed
// (kNoSpace when the disk is full). The new file keeps the mode of the file it replaces, or gets
// the mode a newly created file would get. When `path` is a symbolic link, the file it leads to
// is replaced (the temporary file goes beside it) and the link stays.
Status replaceFile(const std::string& path, std::span<const std::span<const uint8_t>> parts,
                   const ReplaceOptions& options = {});

}  // namespace tunora

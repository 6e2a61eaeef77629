// Replacing a file so that a crash or a full disk never leaves it damaged: the new contents go
// to a temporary file in the same folder, which is synced and then renamed over the old file.
// A reader sees either the old file or the new one, never a mixture or a cut-off file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

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
  // Called at each step; tests use it to end the process in the middle of a replacement.
  std::function<void(ReplaceStep step, size_t bytes)> TEST_hook;
};

// Writes `parts`, one after the other, as the new contents of `path`. On failure the old file
// (if any) is left untouched, the temporary file is removed, and the status says what failed
// (kNoSpace when the disk is full). The new file keeps the mode of the file it replaces, or gets
// the mode a newly created file would get. When `path` is a symbolic link, the file it leads to
// is replaced (the temporary file goes beside it) and the link stays.
Status replaceFile(const std::string& path, std::span<const std::span<const uint8_t>> parts,
                   const ReplaceOptions& options = {});

}  // namespace tunora

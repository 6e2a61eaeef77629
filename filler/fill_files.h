// The file work of a fill behind a seam: copying a song, sizes, the target's free space and the
// final flush. Tests swap in fakes that fail a copy or fill the disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "util/atomic_file.h"
#include "util/status.h"

namespace tunora::filler {

struct SpaceInfo {
  uint64_t available_bytes = 0;  // free for an unprivileged writer
  uint64_t total_bytes = 0;
};

class FillFiles {
 public:
  virtual ~FillFiles() = default;
  // Copies `source` to the new file `target`. Never replaces anything: when `target` is taken (a
  // file, a link, a folder) nothing is copied, `name_taken` is set and an error returned. The
  // copy is written under a temporary name in target's folder (util/atomic_file.h) and takes
  // target's name only when whole, so a kill never leaves a cut-off song under a song's name. On
  // failure nothing of the copy is left.
  [[nodiscard]] virtual Status copyFile(const std::string& source, const std::string& target,
                                        bool& name_taken) = 0;
  // The size of a regular file, or nothing when it cannot be read.
  virtual std::optional<uint64_t> fileSize(const std::string& path) = 0;
  // The free and total space of the file system holding `folder`, or nothing.
  virtual std::optional<SpaceInfo> space(const std::string& folder) = 0;
  // Flushes a written file, then a folder, to the device.
  [[nodiscard]] virtual Status syncFile(const std::string& path) = 0;
  [[nodiscard]] virtual Status syncFolder(const std::string& folder) = 0;
  // Removes a file; a missing one is not an error.
  virtual void removeFile(const std::string& path) = 0;
  // Removes from `folder` the temporary files of copies whose fill was killed
  // (util/stale_temp_files.h); returns how many.
  virtual int removeStaleCopies(const std::string& /*folder*/) { return 0; }
};

// The real file system.
class PosixFillFiles final : public FillFiles {
 public:
  Status copyFile(const std::string& source, const std::string& target, bool& name_taken) override;
  std::optional<uint64_t> fileSize(const std::string& path) override;
  std::optional<SpaceInfo> space(const std::string& folder) override;
  Status syncFile(const std::string& path) override;
  Status syncFolder(const std::string& folder) override;
  void removeFile(const std::string& path) override;
  int removeStaleCopies(const std::string& folder) override;

  // Tests: how the copies are written (chunk size, a hook to stop the process in between).
  void TEST_setCopyOptions(ReplaceOptions options) { copy_options_ = std::move(options); }

 private:
  ReplaceOptions copy_options_;
};

// The space a fill leaves free on its target: 64 MiB or 1 % of the file system, whichever is
// more.
uint64_t fillReserveBytes(const SpaceInfo& space);

}  // namespace tunora::filler

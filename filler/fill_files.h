// The file work of a fill behind a seam: copying a song, sizes, the target's free space and the
// final flush. Tests swap in fakes that fail a copy or fill the disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "util/status.h"

namespace tunora::filler {

struct SpaceInfo {
  uint64_t available_bytes = 0;  // free for an unprivileged writer
  uint64_t total_bytes = 0;
};

class FillFiles {
 public:
  virtual ~FillFiles() = default;
  // Copies `source` to `target`, replacing a file there. On failure nothing of the copy is left
  // at `target` (a half-written file is removed).
  [[nodiscard]] virtual Status copyFile(const std::string& source, const std::string& target) = 0;
  // The size of a regular file, or nothing when it cannot be read.
  virtual std::optional<uint64_t> fileSize(const std::string& path) = 0;
  // The free and total space of the file system holding `folder`, or nothing.
  virtual std::optional<SpaceInfo> space(const std::string& folder) = 0;
  // Flushes a written file, then a folder, to the device.
  [[nodiscard]] virtual Status syncFile(const std::string& path) = 0;
  [[nodiscard]] virtual Status syncFolder(const std::string& folder) = 0;
  // Removes a file; a missing one is not an error.
  virtual void removeFile(const std::string& path) = 0;
};

// The real file system.
class PosixFillFiles final : public FillFiles {
 public:
  Status copyFile(const std::string& source, const std::string& target) override;
  std::optional<uint64_t> fileSize(const std::string& path) override;
  std::optional<SpaceInfo> space(const std::string& folder) override;
  Status syncFile(const std::string& path) override;
  Status syncFolder(const std::string& folder) override;
  void removeFile(const std::string& path) override;
};

// The space a fill leaves free on its target: 64 MiB or 1 % of the file system, whichever is
// more.
uint64_t fillReserveBytes(const SpaceInfo& space);

}  // namespace tunora::filler

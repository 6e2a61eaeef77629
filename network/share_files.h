// Plain file work for Network mode: what identifies a file's content as last seen (its stamp),
// whole-file copies, and block hashes that let a write-back send only the blocks an edit
// changed. Every copy reports the bytes it read and wrote, so the traffic on the share can be
// counted.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tunora::network {

// Size, modification and change times and identity of a file; `exists` false when it cannot be
// stat'ed. Two equal stamps taken at different times mean the file was not written between them
// (to the resolution of the file system's times).
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  int64_t size = 0;
  int64_t mtime_ns = 0;
  int64_t ctime_ns = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp stampOf(const std::string& path);

// The size of the file at `path` when it opens for reading; -1 otherwise.
int64_t openableSize(const std::string& path);

struct CopyTraffic {
  int64_t read = 0;
  int64_t written = 0;
};

// A 128-bit hash of each 64 KB block of a file's content, and the content's size.
inline constexpr int64_t kHashBlockSize = 64 * 1024;
using BlockHash = std::array<uint64_t, 2>;
struct BlockHashes {
  int64_t size = -1;  // -1: nothing known
  std::vector<BlockHash> blocks;
};
BlockHash hashBlock(const uint8_t* data, size_t length);

// How files are copied; tests replace it to make copies fail or come out short.
class FileCopier {
 public:
  virtual ~FileCopier() = default;
  // Replaces the content of `to` (created when missing) with that of `from`. With `hashes`,
  // fills them for the copied content. False on any error.
  virtual bool copyFile(const std::string& from, const std::string& to, CopyTraffic& traffic,
                        BlockHashes* hashes);
  // Makes `to`, whose content is known by `hashes` (updated here), equal to `from` by writing
  // only the blocks whose hash differs, then cutting or extending `to` to `from`'s size. False
  // on any error (the hashes are then dropped).
  virtual bool writeChangedBlocks(const std::string& from, const std::string& to,
                                  BlockHashes& hashes, CopyTraffic& traffic);
};

}  // namespace tunora::network

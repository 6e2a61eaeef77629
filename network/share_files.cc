// Stamps, copies and block hashes.
#include "network/share_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "util/file_io.h"
#include "util/unique_fd.h"

namespace tunora::network {
namespace {

inline uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

}  // namespace

FileStamp stampOf(const std::string& path) {
  struct stat st {};
  FileStamp stamp;
  if (::stat(path.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  stamp.ctime_ns = static_cast<int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
  return stamp;
}

int64_t openableSize(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return -1;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return st.st_size;
}

// Two independent 64-bit lanes over the block's 8-byte words, then its length: a changed block
// going unnoticed would need both lanes to collide.
BlockHash hashBlock(const uint8_t* data, size_t length) {
  uint64_t a = 0x9E3779B97F4A7C15ULL ^ length;
  uint64_t b = 0xC2B2AE3D27D4EB4FULL + length;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t w;
    std::memcpy(&w, data + i, 8);
    a = rotl((a ^ w) * 0x87C37B91114253D5ULL, 31);
    b = rotl(b + w * 0x4CF5AD432745937FULL, 27) * 0x52DCE729ULL;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, data + i, length - i);
  a = rotl((a ^ tail) * 0x87C37B91114253D5ULL, 31);
  b = rotl(b + tail * 0x4CF5AD432745937FULL, 27) * 0x52DCE729ULL;
  a ^= a >> 33;
  b ^= b >> 29;
  return {a * 0xFF51AFD7ED558CCDULL, b * 0xC4CEB9FE1A85EC53ULL};
}

bool FileCopier::copyFile(const std::string& from, const std::string& to, CopyTraffic& traffic,
                          BlockHashes* hashes) {
  if (hashes != nullptr) *hashes = BlockHashes{};
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return false;
  UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.get() < 0) return false;
  std::vector<uint8_t> block(static_cast<size_t>(kHashBlockSize));
  BlockHashes made;
  int64_t offset = 0;
  for (;;) {
    const ssize_t n = readUpToAt(in.get(), block.data(), block.size(), offset);
    if (n < 0) return false;
    if (n == 0) break;
    traffic.read += n;
    if (!writeAll(out.get(), block.data(), static_cast<size_t>(n), offset)) return false;
    traffic.written += n;
    made.blocks.push_back(hashBlock(block.data(), static_cast<size_t>(n)));
    offset += n;
    if (n < static_cast<ssize_t>(block.size())) break;
  }
  if (out.closeNow() != 0) return false;
  made.size = offset;
  if (hashes != nullptr) *hashes = std::move(made);
  return true;
}

bool FileCopier::writeChangedBlocks(const std::string& from, const std::string& to,
                                    BlockHashes& hashes, CopyTraffic& traffic) {
  BlockHashes known = std::move(hashes);
  hashes = BlockHashes{};
  if (known.size < 0) return false;
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return false;
  UniqueFd out(::open(to.c_str(), O_WRONLY | O_CLOEXEC));
  if (out.get() < 0) return false;
  std::vector<uint8_t> block(static_cast<size_t>(kHashBlockSize));
  BlockHashes made;
  int64_t offset = 0;
  for (size_t index = 0;; ++index) {
    const ssize_t n = readUpToAt(in.get(), block.data(), block.size(), offset);
    if (n < 0) return false;
    if (n == 0) break;
    const BlockHash hash = hashBlock(block.data(), static_cast<size_t>(n));
    // A block is known unchanged only when the old content had the same whole block.
    const bool same =
        index < known.blocks.size() && known.blocks[index] == hash && offset + n <= known.size;
    if (!same) {
      if (!writeAll(out.get(), block.data(), static_cast<size_t>(n), offset)) return false;
      traffic.written += n;
    }
    made.blocks.push_back(hash);
    offset += n;
    if (n < static_cast<ssize_t>(block.size())) break;
  }
  if (offset != known.size && ::ftruncate(out.get(), offset) != 0) return false;
  if (out.closeNow() != 0) return false;
  made.size = offset;
  hashes = std::move(made);
  return true;
}

}  // namespace tunora::network

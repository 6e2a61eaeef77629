// fileChecksum: reads, per chunk, only the leading bytes that the checksum counts, and sums them
// in closed form (library/internal/chunk_sums.h).
#include "library/file_checksum.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "library/internal/chunk_sums.h"
#include "util/unique_fd.h"

namespace tunora {
namespace {

// Small enough to stay in the second-level cache between the read and the sums.
constexpr size_t kPieceSize = 256 * 1024;

// Reads `count` bytes at `offset` into the chunk, piece by piece. False on a read error or an
// early end of file.
bool feedFromFile(int fd, uint64_t offset, uint64_t count, uint8_t* piece, size_t piece_size,
                  internal::ChunkSums& chunk) {
  uint64_t done = 0;
  while (done < count) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(piece_size, count - done));
    const ssize_t got = ::pread(fd, piece, want, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    chunk.add(piece, static_cast<size_t>(got));
    done += static_cast<uint64_t>(got);
  }
  return true;
}

}  // namespace

uint32_t fileChecksum(const std::string& path) {
  return internal::fileChecksumInPieces(path, kPieceSize);
}

namespace internal {

uint32_t fileChecksumInPieces(const std::string& path, size_t piece_size) {
  piece_size = std::max<size_t>(piece_size, 1);
  // Non-blocking, so that opening a FIFO does not wait for a writer; it is refused below.
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return 0;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return 0;
  const uint64_t size = static_cast<uint64_t>(info.st_size);

  const auto piece = std::make_unique_for_overwrite<uint8_t[]>(piece_size);
  ChecksumState state;
  // The chunk buffer starts zeroed; later it holds the previous chunk's bytes.
  std::array<uint8_t, 4> previous_head{};
  for (uint64_t start = 0; start < size; start += kChecksumChunkSize) {
    ChunkSums chunk(std::min(kChecksumChunkSize, size - start));
    const uint64_t from_file = std::min(size - start, chunk.bytesNeeded());
    if (!feedFromFile(file.get(), start, from_file, piece.get(), piece_size, chunk)) return 0;
    // Only a chunk shorter than 4 bytes reaches past its end, into buffer bytes 0..3.
    if (from_file < chunk.bytesNeeded()) {
      chunk.add(previous_head.data() + from_file, previous_head.size() - from_file);
    }
    chunk.finish(state);
    previous_head = chunk.head();
  }
  return checksumResult(state);
}

}  // namespace internal
}  // namespace tunora

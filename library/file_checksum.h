// The content checksum of a media file, stored in the song table's FileId column. Copies of a
// song on other drives are recognised by it, and existing libraries hold values made by this
// exact procedure, so it must not change by a single bit.
//
// The procedure, per chunk of 20,000,000 bytes (the last chunk may be shorter), with a = 1 and
// b = 0 at the start of the file and carried from chunk to chunk (32-bit, wrapping):
//
//   r := chunk length; p := 0
//   repeat until r = 0:
//     a += the 32-bit little-endian word at chunk bytes p..p+3; p += 1; b += a
//     if r <= 3:
//       t := r = 3: byte[p] << 24 | byte[p+2] << 8
//            r = 2: byte[p+1] << 24 | byte[p] << 16
//            r = 1: byte[p] << 24
//       a += t; b += a; r := 0
//     else r -= 4
//
// The word position moves one byte while r falls by four, so a chunk of length L reads the
// overlapping words at 0..ceil(L/4)-1 and only its first ceil(L/4) + 3 bytes count. A chunk of
// 4 bytes or more never reaches past its end. A shorter chunk does: the bytes it reaches past its
// end are zero when it is the whole file, and otherwise the previous chunk's bytes at the same
// offsets (the chunk buffer is reused without clearing).
//
// Result: (a << 16) + (b & 0xFFFF), or 1 when that is 0, so that 0 always means "no checksum".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tunora {

inline constexpr uint64_t kChecksumChunkSize = 20'000'000;

// The checksum of the regular file at `path`; 0 when it cannot be opened or read, is not a
// regular file, or shrinks while it is read. Reads only the bytes that count (about a quarter of
// the file).
uint32_t fileChecksum(const std::string& path);

namespace internal {
// fileChecksum reading the file in pieces of at most `piece_size` bytes (at least 1); for tests
// of the piece boundaries.
uint32_t fileChecksumInPieces(const std::string& path, size_t piece_size);
}  // namespace internal

}  // namespace tunora

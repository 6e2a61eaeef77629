// One chunk's part of the content checksum (library/file_checksum.h), computed in closed form
// from the bytes that count instead of word by word.
//
// With n = ceil(L / 4) words w_k (k = 0..n-1) read in a chunk of length L, the word loop ends
// with a' = a + sum w_k and b' = b + n * a + sum (n - k) * w_k. Each w_k is
// sum over j = 0..3 of byte[k + j] << 8j, so both sums follow from the sum and the index-weighted
// sum of bytes 0..n-1 plus corrections from bytes 0..2 and n..n+2; the short tail of a chunk
// whose length is not a multiple of 4 then adds one more term from bytes n..n+2.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tunora::internal {

// The running values of the checksum; a = 1, b = 0 at the start of a file.
struct ChecksumState {
  uint32_t a = 1;
  uint32_t b = 0;
};

// (a << 16) + (b & 0xFFFF), with 1 standing for 0.
uint32_t checksumResult(const ChecksumState& state);

class ChunkSums {
 public:
  // length: the chunk's length, 1..kChecksumChunkSize.
  explicit ChunkSums(uint64_t length);

  // The number of leading bytes of the chunk buffer that count: ceil(length / 4) + 3. It exceeds
  // the length only for chunks shorter than 4 bytes (it is then 4).
  uint64_t bytesNeeded() const { return words_ + 3; }
  // Feeds the next bytes of the chunk buffer, in order from offset 0. Bytes past bytesNeeded()
  // are ignored.
  void add(const uint8_t* data, size_t size);
  // Applies the chunk to the running values. Needs all bytesNeeded() bytes fed.
  void finish(ChecksumState& state) const;
  // Buffer bytes 0..3 as fed; a following short chunk reaches them.
  const std::array<uint8_t, 4>& head() const { return head_; }

 private:
  uint64_t length_;
  uint64_t words_;
  uint64_t fed_ = 0;
  uint32_t sum_ = 0;       // bytes 0..n-1
  uint32_t weighted_ = 0;  // i * byte[i] over bytes 0..n-1
  std::array<uint8_t, 4> head_{};
  std::array<uint8_t, 3> tail_{};  // bytes n..n+2
};

}  // namespace tunora::internal

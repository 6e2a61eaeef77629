// One chunk of the content checksum in closed form; see chunk_sums.h for the derivation.
#include "library/internal/chunk_sums.h"

#include <algorithm>

#include "library/internal/byte_sums.h"

namespace tunora::internal {

uint32_t checksumResult(const ChecksumState& state) {
  const uint32_t result = (state.a << 16) + (state.b & 0xFFFF);
  return result == 0 ? 1 : result;
}

ChunkSums::ChunkSums(uint64_t length) : length_(length), words_((length + 3) / 4) {}

void ChunkSums::add(const uint8_t* data, size_t size) {
  const uint64_t start = fed_;
  const uint64_t end = std::min<uint64_t>(start + size, bytesNeeded());
  if (start >= end) return;
  if (start < words_) {
    const uint64_t count = std::min(end, words_) - start;
    const ByteSums sums = byteSums(data, count);
    sum_ += sums.sum;
    weighted_ += static_cast<uint32_t>(start) * sums.sum + sums.weighted;
  }
  for (uint64_t i = start; i < std::min<uint64_t>(end, head_.size()); ++i) {
    head_[i] = data[i - start];
  }
  for (uint64_t i = std::max(start, words_); i < end; ++i) tail_[i - words_] = data[i - start];
  fed_ = end;
}

void ChunkSums::finish(ChecksumState& state) const {
  // All in 32-bit wrapping arithmetic, as the word loop does it.
  const uint32_t n = static_cast<uint32_t>(words_);
  uint32_t word_sum = 0;     // sum of w_k
  uint32_t counted_sum = 0;  // sum of (n - k) * w_k
  for (uint32_t j = 0; j < 4; ++j) {
    // Bytes j..j+n-1 are bytes 0..n-1, less bytes 0..j-1, plus bytes n..n+j-1.
    uint32_t sum = sum_;
    uint32_t weighted = weighted_;
    for (uint32_t i = 0; i < j; ++i) {
      sum += tail_[i] - uint32_t{head_[i]};
      weighted += (n + i) * tail_[i] - i * uint32_t{head_[i]};
    }
    // Byte i enters word i - j with count n - i + j.
    const uint32_t counted = (n + j) * sum - weighted;
    word_sum += sum << (8 * j);
    counted_sum += counted << (8 * j);
  }
  state.b += n * state.a + counted_sum;
  state.a += word_sum;

  uint32_t tail_word = 0;
  switch (length_ % 4) {
    case 3:
      tail_word = uint32_t{tail_[0]} << 24 | uint32_t{tail_[2]} << 8;
      break;
    case 2:
      tail_word = uint32_t{tail_[1]} << 24 | uint32_t{tail_[0]} << 16;
      break;
    case 1:
      tail_word = uint32_t{tail_[0]} << 24;
      break;
    default:
      return;
  }
  state.a += tail_word;
  state.b += state.a;
}

}  // namespace tunora::internal

// Zero-run coding of a record.
#include "marlbase/zero_runs.h"

#include <algorithm>
#include <cstring>

#include "marlbase/format.h"

namespace tunora::marlbase {
namespace {

constexpr uint32_t kBlock = 32;
constexpr uint32_t kMostPerRun = 0xFFFF;

uint32_t blocksOf(uint32_t record_size) { return (record_size + kBlock - 1) / kBlock; }

bool blockIsZero(const uint8_t* record, uint32_t record_size, uint32_t block) {
  const uint32_t start = block * kBlock;
  const uint32_t size = std::min(kBlock, record_size - start);
  if (size == kBlock) {
    uint64_t words[4];
    std::memcpy(words, record + start, sizeof words);
    return (words[0] | words[1] | words[2] | words[3]) == 0;
  }
  for (uint32_t i = 0; i < size; ++i) {
    if (record[start + i] != 0) return false;
  }
  return true;
}

}  // namespace

size_t zeroRunCodeBound(uint32_t record_size) {
  // At worst every other block is literal: a token for each two blocks, and every byte.
  return record_size + 4 * (size_t{blocksOf(record_size)} / 2 + 1);
}

size_t encodeZeroRuns(const uint8_t* record, uint32_t record_size, uint8_t* out) {
  const uint32_t blocks = blocksOf(record_size);
  uint8_t* p = out;
  for (uint32_t b = 0; b < blocks;) {
    uint32_t zeros_end = b;
    while (zeros_end < blocks && zeros_end - b < kMostPerRun &&
           blockIsZero(record, record_size, zeros_end)) {
      ++zeros_end;
    }
    uint32_t literal_end = zeros_end;
    while (literal_end < blocks && literal_end - zeros_end < kMostPerRun &&
           !blockIsZero(record, record_size, literal_end)) {
      ++literal_end;
    }
    storeU32(p, (zeros_end - b) | (literal_end - zeros_end) << 16);
    p += 4;
    const uint32_t from = zeros_end * kBlock;
    const uint32_t to = std::min(literal_end * kBlock, record_size);
    if (to > from) std::memcpy(p, record + from, to - from);
    p += to > from ? to - from : 0;
    b = literal_end;
  }
  return static_cast<size_t>(p - out);
}

bool decodeZeroRuns(const uint8_t** at, const uint8_t* end, uint32_t record_size, uint8_t* out) {
  const uint32_t blocks = blocksOf(record_size);
  const uint8_t* p = *at;
  for (uint32_t b = 0; b < blocks;) {
    if (end - p < 4) return false;
    const uint32_t token = loadU32(p);
    p += 4;
    const uint32_t zeros = token & 0xFFFF;
    const uint32_t literals = token >> 16;
    if (zeros + literals == 0 || zeros + literals > blocks - b) return false;
    const uint32_t zero_from = b * kBlock;
    const uint32_t literal_from = std::min((b + zeros) * kBlock, record_size);
    const uint32_t literal_to = std::min((b + zeros + literals) * kBlock, record_size);
    if (static_cast<size_t>(end - p) < literal_to - literal_from) return false;
    if (out != nullptr) {
      std::memset(out + zero_from, 0, literal_from - zero_from);
      std::memcpy(out + literal_from, p, literal_to - literal_from);
    }
    p += literal_to - literal_from;
    b += zeros + literals;
  }
  *at = p;
  return true;
}

}  // namespace tunora::marlbase

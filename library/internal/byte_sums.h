// The two sums over a run of bytes that the content checksum is built from.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tunora::internal {

// sum = the sum of the bytes, weighted = the sum of i * byte[i] (i from 0), both modulo 2^32.
struct ByteSums {
  uint32_t sum = 0;
  uint32_t weighted = 0;
};

// The best version the processor offers; every version gives the same result.
ByteSums byteSums(const uint8_t* data, size_t size);

// The versions, for tests and benchmarks. A version the build or the processor lacks falls back
// to the plain loop.
enum class SumKernel { kPlain, kSse2, kAvx2, kAvx512 };
ByteSums byteSumsUsing(SumKernel kernel, const uint8_t* data, size_t size);
SumKernel bestSumKernel();

}  // namespace tunora::internal

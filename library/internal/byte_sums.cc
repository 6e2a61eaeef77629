// byteSums: plain, SSE2, AVX2 and AVX-512 versions. The sums are linear, so they are taken per
// block of 16, 32 or 64 bytes without a dependency from byte to byte:
//   weighted over blocks k of width w = sum_k (w * k * s_k + m_k)
// where s_k is the block's byte sum and m_k the sum of t * byte[t] inside the block. The
// sum of k * s_k is (blocks - 1) * total - P, where P adds up, once per block, the sum of all
// blocks before it.
#include "library/internal/byte_sums.h"

#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#define TUNORA_X86 1
#endif

namespace tunora::internal {
namespace {

void addPlain(const uint8_t* data, size_t size, uint32_t first_index, ByteSums& sums) {
  for (size_t i = 0; i < size; ++i) {
    sums.sum += data[i];
    sums.weighted += (first_index + static_cast<uint32_t>(i)) * data[i];
  }
}

// Combines the vector results of `blocks` blocks of `width` bytes (see the top of the file).
ByteSums combine(size_t blocks, uint32_t width, uint32_t total, uint32_t before, uint32_t inner) {
  ByteSums sums;
  sums.sum = total;
  if (blocks > 0) {
    const uint32_t indexed = (static_cast<uint32_t>(blocks) - 1) * total - before;
    sums.weighted = width * indexed + inner;
  }
  return sums;
}

#ifdef TUNORA_X86
uint32_t addLanes128(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

ByteSums blockSumsSse2(const uint8_t* data, size_t blocks) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low_weights = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
  const __m128i high_weights = _mm_setr_epi16(8, 9, 10, 11, 12, 13, 14, 15);
  // Lane-wise 32-bit adds wrap like the scalar sums; the lanes are added up at the end.
  __m128i total = zero, before = zero, inner = zero;
  for (size_t k = 0; k < blocks; ++k) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * k));
    before = _mm_add_epi32(before, total);
    total = _mm_add_epi32(total, _mm_sad_epu8(x, zero));
    inner = _mm_add_epi32(inner, _mm_madd_epi16(_mm_unpacklo_epi8(x, zero), low_weights));
    inner = _mm_add_epi32(inner, _mm_madd_epi16(_mm_unpackhi_epi8(x, zero), high_weights));
  }
  return combine(blocks, 16, addLanes128(total), addLanes128(before), addLanes128(inner));
}

__attribute__((target("avx2"))) uint32_t addLanes256(__m256i v) {
  return addLanes128(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

__attribute__((target("avx2"))) ByteSums blockSumsAvx2(const uint8_t* data, size_t blocks) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i ones = _mm256_set1_epi16(1);
  // maddubs multiplies unsigned bytes by signed bytes and adds pairs into 16 bits: at most
  // 255 * (30 + 31), which fits.
  const __m256i weights =
      _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                       22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  __m256i total = zero, before = zero, inner = zero;
  for (size_t k = 0; k < blocks; ++k) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32 * k));
    before = _mm256_add_epi32(before, total);
    total = _mm256_add_epi32(total, _mm256_sad_epu8(x, zero));
    inner = _mm256_add_epi32(inner, _mm256_madd_epi16(_mm256_maddubs_epi16(x, weights), ones));
  }
  return combine(blocks, 32, addLanes256(total), addLanes256(before), addLanes256(inner));
}

// Through memory: g++ 12 warns falsely inside _mm512_reduce_add_epi32.
__attribute__((target("avx512f"))) uint32_t addLanes512(__m512i v) {
  alignas(64) std::array<uint32_t, 16> lanes;
  _mm512_store_si512(lanes.data(), v);
  uint32_t sum = 0;
  for (uint32_t lane : lanes) sum += lane;
  return sum;
}

__attribute__((target("avx512f,avx512bw"))) ByteSums blockSumsAvx512(const uint8_t* data,
                                                                     size_t blocks) {
  // Pairs of byte products fit 16 bits here too: 255 * (62 + 63) < 32768.
  alignas(64) static constexpr std::array<uint8_t, 64> kWeights = [] {
    std::array<uint8_t, 64> weights{};
    for (uint8_t i = 0; i < 64; ++i) weights[i] = i;
    return weights;
  }();
  const __m512i zero = _mm512_setzero_si512();
  const __m512i ones = _mm512_set1_epi16(1);
  const __m512i weights = _mm512_load_si512(kWeights.data());
  __m512i total = zero, before = zero, inner = zero;
  for (size_t k = 0; k < blocks; ++k) {
    const __m512i x = _mm512_loadu_si512(data + 64 * k);
    before = _mm512_add_epi32(before, total);
    total = _mm512_add_epi32(total, _mm512_sad_epu8(x, zero));
    inner = _mm512_add_epi32(inner, _mm512_madd_epi16(_mm512_maddubs_epi16(x, weights), ones));
  }
  return combine(blocks, 64, addLanes512(total), addLanes512(before), addLanes512(inner));
}

bool hasAvx512() { return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"); }
#endif

}  // namespace

SumKernel bestSumKernel() {
#ifdef TUNORA_X86
  if (hasAvx512()) return SumKernel::kAvx512;
  return __builtin_cpu_supports("avx2") ? SumKernel::kAvx2 : SumKernel::kSse2;
#else
  return SumKernel::kPlain;
#endif
}

ByteSums byteSumsUsing(SumKernel kernel, const uint8_t* data, size_t size) {
  ByteSums sums;
  size_t done = 0;
#ifdef TUNORA_X86
  if (kernel == SumKernel::kAvx512 && hasAvx512()) {
    sums = blockSumsAvx512(data, size / 64);
    done = size / 64 * 64;
  } else if (kernel >= SumKernel::kAvx2 && __builtin_cpu_supports("avx2")) {
    sums = blockSumsAvx2(data, size / 32);
    done = size / 32 * 32;
  } else if (kernel != SumKernel::kPlain) {
    sums = blockSumsSse2(data, size / 16);
    done = size / 16 * 16;
  }
#else
  (void)kernel;
#endif
  addPlain(data + done, size - done, static_cast<uint32_t>(done), sums);
  return sums;
}

ByteSums byteSums(const uint8_t* data, size_t size) {
  return byteSumsUsing(bestSumKernel(), data, size);
}

}  // namespace tunora::internal

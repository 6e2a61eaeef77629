// The vector versions of the checksum's byte sums against the plain loop.
#include "library/internal/byte_sums.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tunora::internal {
namespace {

void expectAllKernelsAgree(const std::vector<uint8_t>& data, size_t offset, size_t size) {
  const ByteSums plain = byteSumsUsing(SumKernel::kPlain, data.data() + offset, size);
  for (SumKernel kernel : {SumKernel::kSse2, SumKernel::kAvx2, SumKernel::kAvx512}) {
    const ByteSums sums = byteSumsUsing(kernel, data.data() + offset, size);
    EXPECT_EQ(sums.sum, plain.sum) << "kernel " << static_cast<int>(kernel) << " size " << size;
    EXPECT_EQ(sums.weighted, plain.weighted)
        << "kernel " << static_cast<int>(kernel) << " size " << size;
  }
}

TEST(ByteSumsTest, PlainLoopOnKnownBytes) {
  const uint8_t bytes[] = {1, 2, 3};
  const ByteSums sums = byteSumsUsing(SumKernel::kPlain, bytes, 3);
  EXPECT_EQ(sums.sum, 6u);
  EXPECT_EQ(sums.weighted, 0u * 1 + 1 * 2 + 2 * 3);
}

TEST(ByteSumsTest, KernelsAgreeOnEverySmallSizeAndAlignment) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(300);
  for (auto& byte : data) byte = static_cast<uint8_t>(random());
  for (size_t offset = 0; offset < 4; ++offset) {
    for (size_t size = 0; size + offset <= data.size(); ++size) {
      expectAllKernelsAgree(data, offset, size);
    }
  }
}

// 0xFF everywhere is the worst case for the 16-bit partial sums, and 40 MB makes every 32-bit
// sum wrap several times.
TEST(ByteSumsTest, KernelsAgreeWhenSumsWrap) {
  std::vector<uint8_t> data(40'000'000 + 17, 0xFF);
  expectAllKernelsAgree(data, 0, data.size());
  expectAllKernelsAgree(data, 1, data.size() - 1);
}

}  // namespace
}  // namespace tunora::internal

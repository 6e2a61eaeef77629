// The content checksum against reading the whole file, on one 100 MB file and on many 4 MB files,
// warm cache. Baselines: a cat-like read loop, and the plain word loop over whole-chunk reads.
//
// The files are made once under /tmp/tunora_checksum_bench and reused. The number of 4 MB files
// is TUNORA_BENCH_FILE_COUNT (default 500, 2 GB; all must fit in the page cache for a warm run).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "library/file_checksum.h"
#include "library/internal/byte_sums.h"
#include "tests/library/plain_checksum.h"

namespace {

constexpr char kDir[] = "/tmp/tunora_checksum_bench";
constexpr uint64_t kBigSize = 100'000'000;
constexpr uint64_t kSmallSize = 4 * 1024 * 1024;

// Writes `size` pseudo-random bytes to `path` unless a file of that size is there already.
bool ensureFile(const std::string& path, uint64_t size, uint64_t seed) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && static_cast<uint64_t>(info.st_size) == size) return true;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  std::vector<uint64_t> block(1 << 16);
  uint64_t x = seed * 0x9E3779B97F4A7C15ULL + 1;
  bool ok = true;
  for (uint64_t written = 0; ok && written < size;) {
    for (auto& word : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      word = x;
    }
    const size_t count = static_cast<size_t>(std::min<uint64_t>(block.size() * 8, size - written));
    ok = std::fwrite(block.data(), 1, count, out) == count;
    written += count;
  }
  return std::fclose(out) == 0 && ok;
}

uint64_t readWhole(const std::string& path) {
  static thread_local std::vector<char> buffer(128 * 1024);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  uint64_t total = 0;
  for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) {
    total += static_cast<uint64_t>(got);
  }
  ::close(fd);
  return total;
}

struct Files {
  std::string big;
  std::vector<std::string> small;
};

const Files& files() {
  static const Files made = [] {
    Files f;
    std::filesystem::create_directories(kDir);
    f.big = std::string(kDir) + "/big.bin";
    if (!ensureFile(f.big, kBigSize, 1)) std::fprintf(stderr, "cannot write %s\n", f.big.c_str());
    const char* count_text = std::getenv("TUNORA_BENCH_FILE_COUNT");
    const int count = count_text ? std::atoi(count_text) : 500;
    for (int i = 0; i < count; ++i) {
      const std::string path = std::string(kDir) + "/small_" + std::to_string(i) + ".bin";
      if (!ensureFile(path, kSmallSize, 100 + static_cast<uint64_t>(i))) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        break;
      }
      f.small.push_back(path);
    }
    // Warm the page cache.
    readWhole(f.big);
    for (const auto& path : f.small) readWhole(path);
    return f;
  }();
  return made;
}

template <typename Fn>
void runOnBig(benchmark::State& state, Fn fn) {
  const std::string& path = files().big;
  for (auto _ : state) benchmark::DoNotOptimize(fn(path));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigSize));
}

template <typename Fn>
void runOnSmall(benchmark::State& state, Fn fn) {
  const auto& paths = files().small;
  for (auto _ : state) {
    for (const auto& path : paths) benchmark::DoNotOptimize(fn(path));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * paths.size() * kSmallSize));
  state.counters["files"] = static_cast<double>(paths.size());
}

void BM_Big_Checksum(benchmark::State& s) { runOnBig(s, tunora::fileChecksum); }
void BM_Big_ReadWhole(benchmark::State& s) { runOnBig(s, readWhole); }
void BM_Big_PlainLoop(benchmark::State& s) { runOnBig(s, tunora::testing::plainChecksum); }
void BM_Small_Checksum(benchmark::State& s) { runOnSmall(s, tunora::fileChecksum); }
void BM_Small_ReadWhole(benchmark::State& s) { runOnSmall(s, readWhole); }
void BM_Small_PlainLoop(benchmark::State& s) { runOnSmall(s, tunora::testing::plainChecksum); }

BENCHMARK(BM_Big_Checksum)->Unit(benchmark::kMillisecond);

// The read size per pread in KiB, for tuning fileChecksum's piece size.
uint32_t checksumInPieces(benchmark::State& s, const std::string& path) {
  return tunora::internal::fileChecksumInPieces(path, static_cast<size_t>(s.range(0)) * 1024);
}
void BM_Big_ChecksumPieces(benchmark::State& s) {
  runOnBig(s, [&s](const std::string& path) { return checksumInPieces(s, path); });
}
void BM_Small_ChecksumPieces(benchmark::State& s) {
  runOnSmall(s, [&s](const std::string& path) { return checksumInPieces(s, path); });
}
BENCHMARK(BM_Big_ChecksumPieces)
    ->RangeMultiplier(4)
    ->Range(16, 1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Small_ChecksumPieces)
    ->RangeMultiplier(4)
    ->Range(16, 1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big_ReadWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big_PlainLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Small_Checksum)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Small_ReadWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Small_PlainLoop)->Unit(benchmark::kMillisecond);

// The byte sums alone, on 256 KiB in cache: the compute side of the checksum.
void BM_ByteSums(benchmark::State& state) {
  const auto kernel = static_cast<tunora::internal::SumKernel>(state.range(0));
  std::vector<uint8_t> data(256 * 1024, 0xA5);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tunora::internal::byteSumsUsing(kernel, data.data(), data.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ByteSums)->Arg(0)->Arg(1)->Arg(2)->Arg(3);

}  // namespace

BENCHMARK_MAIN();

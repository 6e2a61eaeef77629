// Tag reading speed: readTags over 2,000 tagged MP3 files, beside a loop that only opens each
// file and reads its first 4 KB and last 128 bytes (the least any tag reader must do). The files
// are generated under /tmp once: ID3v2.3 tags with title, artist, album, year, track and comment
// frames; every fourth file has a 30 KB cover picture in front of its text frames; every fifth
// has an ID3v1 tag instead of an ID3v2 tag.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/tag_reader.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFileCount = 2000;
const char kFolder[] = "/tmp/tunora_tags_bench_v1";

std::string be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
std::string frame(const std::string& id, const std::string& body) {
  return id + be32(static_cast<uint32_t>(body.size())) + std::string(2, '\0') + body;
}
std::string textFrame(const std::string& id, const std::string& value) {
  return frame(id, std::string(1, '\0') + value);
}

std::string fileBytes(int i) {
  const std::string n = std::to_string(i);
  std::string audio(16 * 1024, '\0');
  for (size_t k = 0; k < audio.size(); ++k) audio[k] = static_cast<char>(k * 131 + i);
  if (i % 5 == 4) {
    std::string v1 = "TAG";
    for (const std::string& field : {"Title " + n, "Artist " + n, "Album " + n}) {
      std::string f = field;
      f.resize(30, ' ');
      v1 += f;
    }
    v1 += "2001";
    v1 += std::string("comment").append(23, '\0');
    v1 += '\x11';
    return audio + v1;
  }
  std::string frames;
  if (i % 4 == 0)
    frames += frame("APIC", std::string("\0image/jpeg\0\3\0", 14) + std::string(30000, 'j'));
  frames += textFrame("TIT2", "Title number " + n) + textFrame("TPE1", "Artist " + n) +
            textFrame("TALB", "Album " + n) + textFrame("TYER", "2001") +
            textFrame("TRCK", "7/12") + frame("COMM", std::string("\0eng\0A comment ", 15) + n);
  frames += std::string(512, '\0');  // padding, as most taggers leave
  const auto size = static_cast<uint32_t>(frames.size());
  const std::string header =
      std::string("ID3\3\0\0", 6) + std::string{char(size >> 21 & 127), char(size >> 14 & 127),
                                                char(size >> 7 & 127), char(size & 127)};
  return header + frames + audio;
}

const std::vector<std::string>& benchFiles() {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> paths;
    fs::create_directories(kFolder);
    for (int i = 0; i < kFileCount; ++i) {
      const std::string path = std::string(kFolder) + "/song" + std::to_string(i) + ".mp3";
      if (!fs::exists(path)) std::ofstream(path, std::ios::binary) << fileBytes(i);
      paths.push_back(path);
    }
    return paths;
  }();
  return files;
}

void BM_ReadTags(benchmark::State& state) {
  const auto& files = benchFiles();
  tunora::media::TagRecord record;
  for (auto _ : state) {
    for (const auto& path : files) {
      if (!tunora::media::readTags(path, record)) state.SkipWithError("cannot read");
      benchmark::DoNotOptimize(record.title.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_ReadTags)->Unit(benchmark::kMillisecond);

void BM_OpenAndReadEnds(benchmark::State& state) {
  const auto& files = benchFiles();
  std::array<char, 4096> head{};
  std::array<char, 128> tail{};
  for (auto _ : state) {
    for (const auto& path : files) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) state.SkipWithError("cannot open");
      const off_t size = ::lseek(fd, 0, SEEK_END);
      benchmark::DoNotOptimize(::pread(fd, head.data(), head.size(), 0));
      benchmark::DoNotOptimize(::pread(fd, tail.data(), tail.size(), size - 128));
      ::close(fd);
    }
  }
  state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_OpenAndReadEnds)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

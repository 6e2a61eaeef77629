// Generated tunes as WAV files.
#include "player/demo_songs.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tunora::player {
namespace {

// Little-endian stores at fixed offsets (no vector insertions: g++ 12 -O2 reports false
// overflows for those).
void store16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void store32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  store16(out, at, v & 0xFFFF);
  store16(out, at + 2, v >> 16);
}
void storeTag(std::vector<uint8_t>& out, size_t at, const char* tag) {
  for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(tag[i]);
}

constexpr size_t kWavHeaderSize = 44;  // RIFF header 12 + fmt chunk 8 + 16 + data header 8

// A small linear congruential step: tunes depend only on the seed.
uint32_t nextSeed(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 16;
}

constexpr std::array<const char*, 6> kArtists = {
    "The Sine Waves", "Pentatonic Five", "Square Roots", "Dee Minor", "Octave Jump", "Null Sink"};
constexpr std::array<const char*, 6> kAlbums = {"First Tones",  "Five Notes",  "Rooted",
                                                "Minor Things", "Up and Down", "Silence Later"};
constexpr std::array<const char*, 10> kWords = {"Morning", "River", "Lantern", "Echo",   "Paper",
                                                "Harbour", "Clock", "Meadow",  "Signal", "Ember"};

}  // namespace

Status writeToneWav(const std::string& path, int32_t millis, uint32_t seed, int32_t sample_rate) {
  const auto samples = static_cast<uint32_t>(int64_t{sample_rate} * millis / 1000);
  std::vector<uint8_t> out(kWavHeaderSize + size_t{samples} * 2);
  storeTag(out, 0, "RIFF");
  store32(out, 4, 4 + 24 + 8 + samples * 2);
  storeTag(out, 8, "WAVE");
  storeTag(out, 12, "fmt ");
  store32(out, 16, 16);
  store16(out, 20, 1);  // PCM
  store16(out, 22, 1);  // mono
  store32(out, 24, static_cast<uint32_t>(sample_rate));
  store32(out, 28, static_cast<uint32_t>(sample_rate) * 2);
  store16(out, 32, 2);
  store16(out, 34, 16);
  storeTag(out, 36, "data");
  store32(out, 40, samples * 2);
  // Notes of a pentatonic scale, a quarter second each, with a short fade at both ends.
  constexpr std::array<double, 5> kScale = {0, 2, 4, 7, 9};
  const uint32_t note_samples = static_cast<uint32_t>(sample_rate) / 4;
  uint32_t state = seed * 2654435761u + 1;
  const double base = 220.0 * std::pow(2.0, (nextSeed(state) % 12) / 12.0);
  double frequency = base;
  double phase = 0;
  for (uint32_t i = 0; i < samples; ++i) {
    const uint32_t in_note = i % note_samples;
    if (in_note == 0) {
      const uint32_t r = nextSeed(state);
      frequency = base * std::pow(2.0, (kScale[r % 5] + 12.0 * ((r >> 3) % 2)) / 12.0);
    }
    const double fade = std::min(1.0, std::min(in_note, note_samples - in_note) / 200.0);
    phase += 2 * M_PI * frequency / sample_rate;
    store16(out, kWavHeaderSize + size_t{i} * 2,
            static_cast<uint16_t>(static_cast<int16_t>(8000 * fade * std::sin(phase))));
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!file.flush()) return Status::IOError(path + ": cannot write");
  return Status::Ok();
}

Status writeDemoSongs(const std::string& folder, int32_t count, int32_t millis) {
  for (int32_t i = 0; i < count; ++i) {
    const size_t artist = static_cast<size_t>(i) % kArtists.size();
    const std::filesystem::path dir =
        std::filesystem::path(folder) / kArtists[artist] / kAlbums[artist];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return Status::IOError(dir.string() + ": " + ec.message());
    const int32_t track = i / static_cast<int32_t>(kArtists.size()) + 1;
    // "07 River Paper.wav": two-digit track number, two words.
    std::array<char, 64> name{};
    std::snprintf(name.data(), name.size(), "%02d %s %s.wav", static_cast<int>(track),
                  kWords[static_cast<size_t>(i) % kWords.size()],
                  kWords[static_cast<size_t>(i * 7 + 3) % kWords.size()]);
    if (Status s = writeToneWav((dir / name.data()).string(), millis, static_cast<uint32_t>(i) + 1);
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

}  // namespace tunora::player

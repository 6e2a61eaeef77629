// Generated songs for trying the jukebox without music of one's own, and for tests: short WAV
// files (16-bit mono PCM), each a distinct tune of sine notes.
//
// WAV layout written: "RIFF", 4 + 24 + 8 + data bytes, "WAVE"; "fmt " chunk of 16 bytes (format
// 1, 1 channel, the rate, rate x 2 bytes per second, block 2, 16 bits); "data" chunk with the
// samples, all integers little-endian.
#pragma once

#include <cstdint>
#include <string>

#include "util/status.h"

namespace tunora::player {

inline constexpr int32_t kDemoSongCount = 30;
inline constexpr int32_t kDemoSampleRate = 22050;

// Writes a tune `millis` long to `path` (the tune is chosen by `seed`).
Status writeToneWav(const std::string& path, int32_t millis, uint32_t seed,
                    int32_t sample_rate = kDemoSampleRate);

// Writes `count` songs of `millis` each below `folder` as Artist/Album/NN Title.wav (six
// artists, one album each). Returns the first failure.
Status writeDemoSongs(const std::string& folder, int32_t count = kDemoSongCount,
                      int32_t millis = 4000);

}  // namespace tunora::player

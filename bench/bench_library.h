// The generated library the benchmarks run on: songs by 8,000 artists in 700 album folders,
// every user's scores as a library rated for a while and random credits, one song in ten
// flagged, about 5 % deleted, the blank record in slot 0 deleted.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "library/song_columns.h"
#include "library/song_table.h"

namespace tunora::bench {

inline bool buildLibrary(const std::string& path, uint32_t songs) {
  marlbase::TableHandle t;
  if (!createSongTable(t, path)) return false;
  std::mt19937 rng(11);
  // Scores as a library that has been rated for a while: mostly the import default (16),
  // some rated up, some down.
  const uint32_t kScores[] = {1, 2, 4, 8, 16, 16, 16, 16, 32, 64, 128, 256, 512};
  t.setBatch(true);
  for (uint32_t i = 1; i <= songs; ++i) {
    const int32_t s = t.allocate();
    if (s < 0) return false;
    const uint32_t artist = rng() % 8000;
    (void)t.writeText(s, kColFileName,
                      "/home/user/Music/Artist " + std::to_string(artist) + "/Album " +
                          std::to_string(i % 700) + "/" + std::to_string(i) + " Song.mp3");
    (void)t.writeText(s, kColArtist, "Artist " + std::to_string(artist));
    (void)t.writeText(s, kColTitle, "Song " + std::to_string(i));
    for (int32_t u = 0; u < kUserCount; ++u) {
      (void)t.writeInt(s, ratingColumn(u), kScores[rng() % 13]);
      (void)t.writeInt(s, creditColumn(u), rng() % 1000);
    }
    (void)t.writeInt(s, kColFlags, rng() % 10 == 0 ? 1 : 0);
  }
  for (uint32_t i = 1; i <= songs; ++i) {
    if (rng() % 100 < 5) (void)t.setStatus(static_cast<int32_t>(i), 5);
  }
  t.setBatch(false);
  (void)t.setStatus(0, 5);  // the blank record
  t.close();
  return true;
}

}  // namespace tunora::bench

// The list builder's tests' songs (chosen scores, credits, flags and artists) over the one
// library builder, and the settings of a first run.
#pragma once

#include <string>
#include <vector>

#include "engine/random_source.h"
#include "settings/settings.h"
#include "settings/settings_defaults.h"
#include "tests/support/song_library.h"

namespace tunora::testing {

struct TestSong {
  std::string path;
  std::string artist;
  uint32_t score = 16;     // user 0's rating score
  uint32_t credit = 1000;  // user 0's credit
  uint32_t flags = 0;
};

// Writes a song table at `path` whose slots 0.. hold `songs` (slot 0 is the table's blank
// record, overwritten by the first song), song i titled "Title <i>". False on failure.
inline bool writeSongTable(const std::string& path, const std::vector<TestSong>& songs) {
  std::vector<LibrarySong> rows;
  for (const TestSong& s : songs) {
    const std::string title = "Title " + std::to_string(rows.size());
    rows.push_back({s.path, title, s.artist, "", 10, s.score, 0, s.credit, s.flags});
  }
  return writeLibrary(path, rows, /*from_slot_0=*/true);
}

inline std::vector<TestSong> plainSongs(int count) {
  std::vector<TestSong> songs;
  for (int i = 0; i < count; ++i) {
    songs.push_back({"/music/song" + std::to_string(i) + ".mp3", "Artist " + std::to_string(i)});
  }
  return songs;
}

// The settings of a first run: the full reset and the default rating values.
inline Settings firstRunSettings() {
  Settings s;
  resetAll(s);
  resetRatingValues(s);
  return s;
}

}  // namespace tunora::testing

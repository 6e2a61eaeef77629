// A song table for the list builder's tests: songs with chosen scores, credits, flags and
// artists, and a random source that hands out scripted numbers.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "engine/random_source.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "marlbase/table_handle.h"
#include "settings/settings.h"
#include "settings/settings_defaults.h"

namespace tunora::testing {

struct TestSong {
  std::string path;
  std::string artist;
  uint32_t score = 16;     // user 0's rating score
  uint32_t credit = 1000;  // user 0's credit
  uint32_t flags = 0;
};

// Writes a song table at `path` whose slots 0.. hold `songs` (slot 0 is the table's blank
// record, overwritten by the first song). False on failure.
inline bool writeSongTable(const std::string& path, const std::vector<TestSong>& songs) {
  marlbase::TableHandle t;
  if (!createSongTable(t, path)) return false;
  t.setBatch(true);
  for (size_t i = 0; i < songs.size(); ++i) {
    const int32_t slot = i == 0 ? 0 : t.allocate();
    if (slot != static_cast<int32_t>(i)) return false;
    const TestSong& s = songs[i];
    if (!t.writeText(slot, kColFileName, s.path) || !t.writeText(slot, kColArtist, s.artist) ||
        !t.writeText(slot, kColTitle, "Title " + std::to_string(i)) ||
        !t.writeInt(slot, ratingColumn(0), s.score) ||
        !t.writeInt(slot, creditColumn(0), s.credit) || !t.writeInt(slot, kColFlags, s.flags)) {
      return false;
    }
  }
  t.setBatch(false);
  (void)t.setStatus(0, 10);  // recount
  t.close();
  return true;
}

inline std::vector<TestSong> plainSongs(int count) {
  std::vector<TestSong> songs(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    songs[static_cast<size_t>(i)].path = "/music/song" + std::to_string(i) + ".mp3";
    songs[static_cast<size_t>(i)].artist = "Artist " + std::to_string(i);
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

// Hands out the scripted numbers in turn, then zeros.
class ScriptedRandom final : public engine::RandomSource {
 public:
  explicit ScriptedRandom(std::vector<uint32_t> values) : values_(values.begin(), values.end()) {}
  void add(uint32_t value) { values_.push_back(value); }
  std::optional<uint32_t> next32() override {
    if (values_.empty()) return 0u;
    const uint32_t v = values_.front();
    values_.pop_front();
    return v;
  }

 private:
  std::deque<uint32_t> values_;
};

// The random value whose draw is n (1-based) among `live` songs.
inline uint32_t drawOf(uint32_t n) { return n - 1; }

}  // namespace tunora::testing

// Phrase search and the top and worst songs; on random libraries, the fast ranking against the
// plain one of repeated full passes and the record-by-record search against the table's own
// findNext and recordMatches.
#include "maintenance/song_search.h"

#include <gtest/gtest.h>

#include <random>

#include "maintenance/phrase_match.h"
#include "maintenance/song_details.h"
#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

std::vector<int32_t> indexes(const std::vector<SearchRow>& rows) {
  std::vector<int32_t> out;
  for (const auto& row : rows) out.push_back(row.index);
  return out;
}

// Slot 0 holds the library's blank first record: whatever it holds, it is never a row, and
// neither "Find" nor "Find More" lands on it.
TEST(SongSearchTest, PhraseSearchFindsLiveSongsButNeverTheBlankFirstRecord) {
  SongLibrary lib;
  lib.table().writeText(0, kColTitle, "Blue first slot");
  lib.table().writeInt(0, kColPlayCount, 7);
  const int32_t a = lib.add({.path = "/m/a.mp3", .title = "Blue Moon", .artist = "X", .plays = 1});
  const int32_t b = lib.add({.path = "/m/b.avi", .title = "Red", .artist = "blue band"});
  lib.table().setStatus(lib.add({.path = "/m/c.mp3", .title = "blue", .artist = "Y"}), 5);
  const int32_t c = lib.add({.path = "/m/d.mp3", .title = "Green", .score = 64});
  const auto rows = phraseSearch(lib.table(), "BLUE", {});
  ASSERT_EQ(indexes(rows), (std::vector<int32_t>{a, b}));
  EXPECT_EQ(std::tie(rows[1].title, rows[1].artist, rows[1].path, rows[1].type),
            std::make_tuple("Red", "blue band", "/m/b.avi", "Video"));
  EXPECT_EQ(rows[0].type, "Audio");
  EXPECT_EQ(indexes(phraseSearch(lib.table(), "e", {})), (std::vector<int32_t>{a, b, c}));
  EXPECT_EQ(phraseSearch(lib.table(), "green", {}).at(0).rating, 7);
  for (const char* nothing : {"", "first", "nowhere"}) {
    EXPECT_TRUE(phraseSearch(lib.table(), nothing, {}).empty()) << nothing;
    EXPECT_EQ(findRecord(lib.table(), nothing, -1), std::nullopt) << nothing;
  }
  EXPECT_EQ(findRecord(lib.table(), "blue", -1), a);
  EXPECT_EQ(findRecord(lib.table(), "blue", 0), a);
  EXPECT_EQ(findRecord(lib.table(), "blue", a), b);  // the next one, found by its artist
  EXPECT_EQ(findRecord(lib.table(), "blue", b), std::nullopt);
  EXPECT_EQ(indexes(rankSongs(lib.table(), Ranking::kTop, {})), (std::vector<int32_t>{a}));
  EXPECT_EQ(indexes(rankSongs(lib.table(), Ranking::kWorst, {})), (std::vector<int32_t>{a}));
}

// The plain ranking: per level, repeated full passes, each picking the song that comes first
// (higher play count, then lower slot) among those after the previous pick. Slot 0 is the blank
// record's place, never a song's, whatever it holds.
std::vector<std::pair<int32_t, int32_t>> plainRanking(SongLibrary& lib, Ranking ranking,
                                                      const RowOptions& options) {
  std::vector<std::pair<int32_t, int32_t>> rows;  // (slot, level)
  for (int step = 0; step <= 10 && rows.size() < 100; ++step) {
    const int32_t level = ranking == Ranking::kTop ? 10 - step : step;
    bool have_previous = false;
    uint32_t prev_plays = 0;
    int32_t prev_slot = -1;
    while (rows.size() < 100) {
      int32_t pick = -1;
      uint32_t pick_plays = 0;
      for (int32_t s : lib.live()) {
        const uint32_t plays = lib.number(s, 44);
        if (plays == 0 || s == 0) continue;
        if (ratingOfScore(lib.number(s, ratingColumn(options.user)), options.thresholds) != level) {
          continue;
        }
        const bool after =
            !have_previous || plays < prev_plays || (plays == prev_plays && s > prev_slot);
        if (!after) continue;
        if (pick < 0 || plays > pick_plays) {
          pick = s;
          pick_plays = plays;
        }
      }
      if (pick < 0) break;
      rows.emplace_back(pick, level);
      have_previous = true;
      prev_plays = pick_plays;
      prev_slot = pick;
    }
  }
  return rows;
}

TEST(SongSearchTest, FastRankingMatchesThePlainPassesOnRandomLibraries) {
  std::mt19937 rng(11);
  for (int round = 0; round < 12; ++round) {
    SongLibrary lib(round % 2 == 0);
    RowOptions options;
    options.user = static_cast<int32_t>(rng() % 10);
    const int songs = static_cast<int>(rng() % 260);
    for (int i = 0; i < songs; ++i) {
      const int32_t slot =
          lib.add({.path = "/m/" + std::to_string(i), .plays = static_cast<uint32_t>(rng() % 4)});
      lib.table().writeInt(slot, ratingColumn(options.user),
                           rng() % 3 == 0 ? 0u : 1u << (rng() % 11));
      if (rng() % 6 == 0) lib.table().setStatus(slot, 5);
    }
    for (Ranking ranking : {Ranking::kTop, Ranking::kWorst}) {
      const auto fast = rankSongs(lib.table(), ranking, options);
      std::vector<std::pair<int32_t, int32_t>> got;
      for (const auto& row : fast) got.emplace_back(row.index, row.rating);
      EXPECT_EQ(got, plainRanking(lib, ranking, options)) << "round " << round;
    }
  }
}

std::string randomText(std::mt19937& rng, size_t max_length) {
  std::string text(rng() % (max_length + 1), ' ');
  for (char& c : text) c = "aAbB1 "[rng() % 6];
  return text;
}

// Text keys (including the restart after a partial match), number keys and the empty key.
TEST(PhraseMatchTest, SameRecordsAsTheTablesFindNext) {
  std::mt19937 rng(5);
  for (int round = 0; round < 10; ++round) {
    SongLibrary lib(round % 2 == 0);
    for (int i = 0; i < 80; ++i) {
      const int32_t s = lib.add({.path = randomText(rng, 12),
                                 .title = randomText(rng, 8),
                                 .artist = randomText(rng, 8),
                                 .score = static_cast<uint32_t>(rng() % 4),
                                 .plays = static_cast<uint32_t>(rng() % 12)});
      if (rng() % 5 == 0) lib.table().setStatus(s, 5);
    }
    std::vector<std::string> keys = {"", "aab", "AAB", "ab", "b1", "11", "3", "0", "x", " "};
    for (int i = 0; i < 20; ++i) keys.push_back(randomText(rng, 4));
    for (const std::string& key : keys) {
      SCOPED_TRACE("key \"" + key + "\" round " + std::to_string(round));
      marlbase::TableHandle& t = lib.table();
      const PhraseMatcher matcher(t, key);
      t.setSearchKey(key);
      for (int32_t s : lib.live()) {
        EXPECT_EQ(matcher.matches(s), t.recordMatches(s) == s) << s;
        if (static_cast<uint32_t>(s) + 1 < t.capacity()) {
          EXPECT_EQ(matcher.next(t, s), t.findNext(s)) << s;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tunora::maintenance

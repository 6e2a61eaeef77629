// Phrase search and the top and worst songs, the fast ranking against the plain one of repeated
// full passes on random libraries.
#include "maintenance/song_search.h"

#include <gtest/gtest.h>

#include <random>

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

TEST(SongSearchTest, PhraseSearchFindsLiveSongsAndAnEmptyPhraseSearchesNothing) {
  SongLibrary lib;
  const int32_t a = lib.add({.path = "/m/a.mp3", .title = "Blue Moon", .artist = "X"});
  const int32_t b = lib.add({.path = "/m/b.avi", .title = "Red", .artist = "blue band"});
  const int32_t gone = lib.add({.path = "/m/c.mp3", .title = "blue", .artist = "Y"});
  lib.table().setStatus(gone, 5);
  const int32_t c = lib.add({.path = "/m/d.mp3", .title = "Green", .score = 64});
  const auto rows = phraseSearch(lib.table(), "BLUE", {});
  EXPECT_EQ(indexes(rows), (std::vector<int32_t>{a, b}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].title, "Red");
  EXPECT_EQ(rows[1].artist, "blue band");
  EXPECT_EQ(rows[1].path, "/m/b.avi");
  EXPECT_EQ(rows[1].type, "Video");
  EXPECT_EQ(rows[0].type, "Audio");
  EXPECT_TRUE(phraseSearch(lib.table(), "", {}).empty());
  EXPECT_EQ(indexes(phraseSearch(lib.table(), "e", {})), (std::vector<int32_t>{a, b, c}));
  const auto green = phraseSearch(lib.table(), "green", {});
  ASSERT_EQ(green.size(), 1u);
  EXPECT_EQ(green[0].rating, 7);
  EXPECT_TRUE(phraseSearch(lib.table(), "nowhere", {}).empty());
}

// Slot 0 holds the library's blank first record: whatever it holds, it is never a row, and
// neither "Find" nor "Find More" lands on it.
TEST(SongSearchTest, TheBlankFirstRecordIsNeverFound) {
  SongLibrary lib;
  lib.table().writeText(0, 2, "First slot song");
  const int32_t two = lib.add({.path = "/m/a.mp3", .title = "Song two"});
  EXPECT_EQ(indexes(phraseSearch(lib.table(), "song", {})), (std::vector<int32_t>{two}));
  EXPECT_TRUE(phraseSearch(lib.table(), "first", {}).empty());
  EXPECT_EQ(findRecord(lib.table(), "song", -1), two);
  EXPECT_EQ(findRecord(lib.table(), "song", 0), two);
  EXPECT_EQ(findRecord(lib.table(), "first", -1), std::nullopt);
  EXPECT_EQ(findRecord(lib.table(), "", -1), std::nullopt);
  lib.table().writeInt(0, kColPlayCount, 7);
  lib.table().writeInt(two, kColPlayCount, 1);
  EXPECT_EQ(indexes(rankSongs(lib.table(), Ranking::kTop, {})), (std::vector<int32_t>{two}));
  EXPECT_EQ(indexes(rankSongs(lib.table(), Ranking::kWorst, {})), (std::vector<int32_t>{two}));
}

TEST(SongSearchTest, RankingLeavesOutUnplayedSongsAndKeepsRecordOrderOnTies) {
  SongLibrary lib;
  lib.add({.path = "/m/a", .score = 512});
  lib.add({.path = "/m/b", .score = 1});
  EXPECT_TRUE(rankSongs(lib.table(), Ranking::kTop, {}).empty());
  EXPECT_TRUE(rankSongs(lib.table(), Ranking::kWorst, {}).empty());

  const int32_t tie1 = lib.add({.path = "/m/c", .score = 64, .plays = 3});
  const int32_t best = lib.add({.path = "/m/d", .score = 600, .plays = 1});
  const int32_t tie2 = lib.add({.path = "/m/e", .score = 100, .plays = 3});  // also rating 7
  const int32_t more = lib.add({.path = "/m/f", .score = 70, .plays = 9});
  const int32_t low = lib.add({.path = "/m/g", .score = 0, .plays = 2});
  const auto top = rankSongs(lib.table(), Ranking::kTop, {});
  EXPECT_EQ(indexes(top), (std::vector<int32_t>{best, more, tie1, tie2, low}));
  EXPECT_EQ(top[0].rating, 10);
  EXPECT_EQ(top[1].rating, 7);
  EXPECT_EQ(top[4].rating, 0);
  EXPECT_EQ(indexes(rankSongs(lib.table(), Ranking::kWorst, {})),
            (std::vector<int32_t>{low, more, tie1, tie2, best}));
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

}  // namespace
}  // namespace tunora::maintenance

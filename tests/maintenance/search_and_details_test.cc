// Phrase search and the top and worst songs; on random libraries, the fast ranking against the
// plain one of repeated full passes and the record-by-record search against the table's own
// findNext and recordMatches. The song details dialog's record logic: wrapping, Goto, saving
// ratings as thresholds, the fixed user, and Delete.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "maintenance/phrase_match.h"
#include "maintenance/song_details.h"
#include "maintenance/song_search.h"
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

constexpr RatingThresholds kDefault{1, 2, 4, 8, 16, 32, 64, 128, 256, 512};

TEST(SongDetailsTest, PreviousNextAndGoto) {
  SongLibrary lib(false);
  lib.addPath("/m/0");  // takes slot 0, deleted below
  const int32_t a = lib.addPath("/m/a");
  lib.table().setStatus(lib.addPath("/m/b"), 5);
  const int32_t c = lib.addPath("/m/c");
  const int32_t d = lib.addPath("/m/d");
  lib.table().setStatus(0, 5);
  const std::tuple<int32_t, int32_t, int32_t> walks[] = {{a, d, c}, {c, a, d}, {d, c, a}};
  for (const auto& [from, previous, next] : walks) {
    EXPECT_EQ(previousRecord(lib.table(), from), previous) << from;
    EXPECT_EQ(nextRecord(lib.table(), from), next) << from;
  }
  // With the blank record live, slot 0 is one of the records walked over.
  SongLibrary blank;
  const int32_t b = blank.addPath("/m/b");
  EXPECT_EQ(previousRecord(blank.table(), 0), b);
  EXPECT_EQ(nextRecord(blank.table(), b), 0);
  const std::pair<const char*, std::optional<int32_t>> gotos[] = {
      {"0", std::nullopt}, {"abc", std::nullopt},         {" 4 ", 4},
      {"99", 5},           {"99999999999", std::nullopt},
  };
  for (const auto& [text, index] : gotos) EXPECT_EQ(gotoIndex(text, 5), index) << text;
}

TEST(SongDetailsTest, LoadAndSaveEveryFieldWithRatingsAsThresholds) {
  SongLibrary lib;
  const std::string file = lib.dir().file("a.mp3");
  testing::writeText(file, "12345");
  const int32_t s = lib.add({.path = file,
                             .title = "T",
                             .artist = "Ar",
                             .album = "Al",
                             .score = 100,
                             .plays = 9,
                             .flags = 0xF5,
                             .file_id = 77});
  lib.table().writeInt(s, ratingColumn(1), 600);
  lib.table().writeInt(s, ratingColumn(2), 3);
  lib.table().writeInt(s, kColStartFrame, 40);
  lib.table().writeInt(s, kColEndFrame, 90);
  lib.table().writeText(s, kColNote, "N");
  SongFields f = loadFields(lib.table(), s, kDefault);
  EXPECT_EQ(f.file_name, file);
  EXPECT_EQ(f.file_size, 5u);
  EXPECT_EQ(std::tie(f.title, f.artist, f.album, f.note), std::make_tuple("T", "Ar", "Al", "N"));
  EXPECT_EQ(std::tie(f.ratings[0], f.ratings[1], f.ratings[2]), std::make_tuple(7, 10, 2));
  EXPECT_EQ(std::tie(f.naughty, f.lock, f.play_count, f.file_id),
            std::make_tuple(1, true, 9u, 77u));
  EXPECT_EQ(std::tie(f.start_set, f.start, f.end_set, f.end),
            std::make_tuple(true, 40u, true, 90u));
  EXPECT_EQ(loadFields(lib.table(), 0, kDefault).file_size, 0u);
  EXPECT_FALSE(loadFields(lib.table(), 0, kDefault).start_set);

  // A fixed user saves nothing.
  f.title = "changed";
  EXPECT_FALSE(saveFields(lib.table(), s, f, kDefault, true));
  EXPECT_EQ(lib.table().readText(s, kColTitle), "T");
  f = {.file_name = "/m/new",
       .title = std::string(80, 'x'),
       .artist = "B",
       .album = "C",
       .note = "D",
       .naughty = 2,
       .lock = false,
       .start_set = false,
       .start = 500,
       .end_set = true,
       .end = 700};
  f.ratings = {7, 10, 2, 11};
  ASSERT_TRUE(saveFields(lib.table(), s, f, kDefault, false));
  const std::pair<int32_t, uint32_t> ints[] = {
      {ratingColumn(0), 64},  // 100 lay between 64 and 128
      {ratingColumn(1), 512}, {ratingColumn(2), 2},
      {ratingColumn(3), 0},   {kColFlags, 0xF2},  // bits above 2 kept
      {kColStartFrame, 0},    {kColEndFrame, 700}};
  for (const auto& [column, value] : ints) EXPECT_EQ(lib.number(s, column), value) << column;
  const std::pair<int32_t, std::string> texts[] = {{kColFileName, "/m/new"},
                                                   {kColTitle, std::string(63, 'x')},
                                                   {kColArtist, "B"},
                                                   {kColAlbum, "C"},
                                                   {kColNote, "D"}};
  for (const auto& [column, text] : texts)
    EXPECT_EQ(lib.table().readText(s, column), text) << column;
}

TEST(SongDetailsTest, DeleteMovesTheFileAndShowsThePreviousSong) {
  SongLibrary lib;
  const std::string data = lib.dir().folder() + "data/";
  std::filesystem::create_directory(data);
  lib.addPath("/m/a");
  const int32_t b = lib.addPath("/m/b");
  const std::string file = lib.dir().file("song.mp3");
  testing::writeText(file, "abc");
  const int32_t d = lib.addPath(file);
  DeleteOutcome out = deleteSong(lib.table(), d);
  EXPECT_TRUE(out.deleted && !out.close_dialog);
  EXPECT_EQ(out.path, file);
  EXPECT_EQ(out.show, b);
  EXPECT_EQ(lib.status(d), 5);
  EXPECT_EQ(moveIntoDataDir(out.path, data), data + "song.mp3");
  EXPECT_EQ(testing::readBytes(data + "song.mp3"), std::vector<uint8_t>({'a', 'b', 'c'}));
  EXPECT_FALSE(std::filesystem::exists(file));
  // A file whose name the data folder holds already, or a missing one, stays where it is.
  testing::writeText(file, "second");
  out = deleteSong(lib.table(), lib.addPath(file));
  EXPECT_EQ(moveIntoDataDir(out.path, data), std::nullopt);
  EXPECT_EQ(testing::readBytes(file).size(), 6u);
  EXPECT_EQ(testing::readBytes(data + "song.mp3").size(), 3u);
  out = deleteSong(lib.table(), 1);
  EXPECT_EQ(moveIntoDataDir(out.path, data), std::nullopt);
  EXPECT_EQ(out.show, 0);
  // Deleting the only song closes the dialog.
  SongLibrary one;
  out = deleteSong(one.table(), one.addPath("/m/only"));
  EXPECT_TRUE(out.deleted && out.close_dialog);
}

}  // namespace
}  // namespace tunora::maintenance

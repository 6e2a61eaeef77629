// The Database dialog's work: its maintenance functions on small libraries, and the fast
// duplicate removal against the plain pairwise one on random libraries; without a window, the
// inputs each function asks for, the function thread's steps around the grant of code 32, the
// import source from the path edit, and "ChangeDB" / "NewDB" under the grant of code 28.
// Phrase search and the top and worst songs; on random libraries, the fast ranking against the
// plain one of repeated full passes and the record-by-record search against the table's own
// findNext and recordMatches. The song details dialog's record logic: wrapping, Goto, saving
// ratings as thresholds, the fixed user, and Delete.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "engine/lock_codes.h"
#include "library/song_deletion.h"
#include "maintenance/database_work.h"
#include "maintenance/db_functions.h"
#include "maintenance/phrase_match.h"
#include "maintenance/song_details.h"
#include "maintenance/song_search.h"
#include "network/library_opening.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

// Written by the function thread only, read after it ended.
struct RecordedLines final : DbProgress {
  void setLine1(const std::string& text) override { line1.push_back(text); }
  void setLine2(const std::string& text) override { line2.push_back(text); }
  std::vector<std::string> line1, line2;
};

class DatabaseWorkTest : public ::testing::Test {
 protected:
  // Runs `body` on a counted thread while this thread hands over every request, as the request
  // executor does; true when it ended.
  bool runWithExecutor(std::function<void()> body) {
    tunora::testing::EnvThread thread(env_, std::move(body));
    const bool ended = tunora::testing::driveUntil(
        env_,
        [&] {
          if (words_.request.load() != 0) (void)lock_.handOver();
          return thread.done();
        },
        std::chrono::milliseconds(100));
    if (!ended) words_.stopping.store(1);
    return ended && thread.join(std::chrono::milliseconds(100));
  }

  FunctionOutcome runFunction(const std::string& path, DbFunction function,
                              const DbInputs& inputs = {}, const DbRunner& runner = runDbFunction) {
    settings_.setText(settings::kDatabasePath, path);
    FunctionThreadParts parts{lock_, library_, message_flag_, refresh_counter_};
    FunctionOutcome outcome;
    EXPECT_TRUE(runWithExecutor([&] {
      outcome = runFunctionThread(parts, function, inputs, DbValues{}, nullptr, lines_, runner);
    }));
    EXPECT_FALSE(table_.isOpen());
    return outcome;
  }

  FakeEnv env_;
  engine::SharedWords words_;
  engine::SharedLock lock_{words_, env_};
  std::atomic<int32_t> message_flag_{0};
  std::atomic<int32_t> refresh_counter_{0};
  RecordedLines lines_;
  Settings settings_;
  marlbase::TableHandle table_;
  network::LibraryOpening library_{table_, settings_};  // the program's, without Network mode
};

// "Cancel", "0" and "D" refuse a user; the path edit names a folder (given its slash) or a list.
TEST_F(DatabaseWorkTest, KeypadPicksAndTheImportSource) {
  for (const auto& [pick, user] : {std::pair{std::optional<int>(), 0}, {0, 0}, {13, 0}, {10, 10}})
    EXPECT_EQ(keypadUser(pick), user) << pick.value_or(-1);
  tunora::testing::TempDir dir;
  const std::string folder = dir.file("music"), list = dir.file("list.m3u");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  tunora::testing::writeText(list, "/m/a.mp3\n");
  const std::pair<std::string, std::string> sources[] = {
      {folder, folder + "/"}, {list, list}, {std::string(700, 'x'), std::string(600, 'x')}};
  for (const auto& [edit, source] : sources) EXPECT_EQ(importSourceOf(edit), source) << edit;
}

TEST_F(DatabaseWorkTest, FunctionRunsUnderItsGrantAndEndsWithTheEndSteps) {
  SongLibrary lib;
  const int32_t a = lib.addPath("/m/a.mp3");
  lib.table().writeInt(a, ratingColumn(2), 77);
  lib.table().writeInt(a, kColStartFrame, 40);
  lib.table().close();
  // Offline: nothing asked of the lock, nothing changed.
  words_.build_request.store(1200);
  EXPECT_EQ(runFunction(lib.path(), DbFunction::kResetStartPoints).end, FunctionEnd::kOffline);
  EXPECT_EQ(words_.last_released.load(), 0);
  EXPECT_EQ(refresh_counter_.load(), 0);
  EXPECT_TRUE(lines_.line1.empty());
  words_.build_request.store(0);
  // A library that cannot be opened: line 1 keeps the confirmation text; the end steps run.
  EXPECT_EQ(runFunction(lib.dir().file("missing.mbf"), DbFunction::kResetStartPoints).end,
            FunctionEnd::kNotOpened);
  EXPECT_EQ(lines_.line1.back(), "Reset Start Points");
  EXPECT_EQ(refresh_counter_.load(), 100);
  EXPECT_EQ(words_.grant.load(), 0);

  refresh_counter_.store(0);
  lines_.line1.clear();
  words_.build_request.store(5);
  message_flag_.store(1);
  int32_t grant_during_run = 0;
  const DbRunner observed = [&](DbFunction f, marlbase::TableHandle& t, const DbInputs& in,
                                const DbValues& v, const std::atomic<bool>* abort,
                                DbProgress* progress) {
    grant_during_run = words_.grant.load();
    return runDbFunction(f, t, in, v, abort, progress);
  };
  const FunctionOutcome outcome = runFunction(lib.path(), DbFunction::kCopyRatings,
                                              DbInputs{.user_a = 3, .user_b = 5}, observed);
  EXPECT_EQ(outcome.end, FunctionEnd::kRan);
  EXPECT_EQ(grant_during_run, engine::kCodeDatabaseFunction);
  EXPECT_EQ(words_.grant.load(), 0);
  EXPECT_EQ(words_.build_request.load(), engine::kBuildNow);
  EXPECT_EQ(message_flag_.load(), 0);
  EXPECT_EQ(refresh_counter_.load(), 100);
  ASSERT_FALSE(lines_.line1.empty());
  EXPECT_EQ(lines_.line1.front(), "Copy Ratings from 3 to 5");
  EXPECT_EQ(lines_.line1.back(), kFinishedText);
  EXPECT_EQ(lines_.line2.back(), resultLine(DbFunction::kCopyRatings, outcome.result));
  ASSERT_TRUE(lib.table().open().ok());
  EXPECT_EQ(lib.number(a, ratingColumn(4)), 77u);
  EXPECT_EQ(lib.number(a, kColStartFrame), 40u);
}

// The status bar counts the program's handle's live records: after "ChangeDB" or "NewDB" the
// handle holds the new library's counts and the status bar is recomposed, not the old library's
// "N entries" left standing. Nothing changed, nothing saved, nothing to refresh.
TEST_F(DatabaseWorkTest, ChangeAndNewDatabase) {
  tunora::testing::TempDir dir;
  settings_.setText(settings::kDatabasePath, "/old/Tunora.mbf");
  int saves = 0;
  std::vector<int32_t> shown;  // the live count at each status refresh
  const auto save = [&] { ++saves; };
  const auto refresh = [&] { shown.push_back(table_.liveCount()); };
  DbChangeParts parts{lock_, settings_, refresh_counter_, save, &library_, refresh};
  auto change = [&](DbChangeKind kind, const std::string& path) {
    DbChangeEnd end = DbChangeEnd::kNotGranted;
    EXPECT_TRUE(runWithExecutor([&] { end = changeDatabase(parts, kind, path); }));
    EXPECT_EQ(words_.grant.load(), 0);
    EXPECT_EQ(words_.last_released.load(), engine::kCodeDatabaseDialog);
    return end;
  };
  // NewDB where no file is: a new song table with its blank record becomes the library.
  const std::string fresh = dir.file("New.mbf");
  words_.build_request.store(7);
  EXPECT_EQ(change(DbChangeKind::kNew, fresh), DbChangeEnd::kCreated);
  EXPECT_EQ(settings_.text(settings::kDatabasePath), fresh);
  EXPECT_EQ(words_.build_request.load(), 0);
  EXPECT_EQ(refresh_counter_.load(), 100);
  EXPECT_EQ(shown, std::vector<int32_t>{1});
  EXPECT_FALSE(table_.isOpen());
  // NewDB on an existing library never replaces it: it is taken as it is.
  SongLibrary lib;
  lib.addPath("/m/a.mp3");
  lib.table().close();
  EXPECT_EQ(change(DbChangeKind::kNew, lib.path()), DbChangeEnd::kChanged);
  EXPECT_EQ(settings_.text(settings::kDatabasePath), lib.path());
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 2}));
  // ChangeDB to a file that holds no song table, NewDB where nothing can be created: nothing
  // changes and nothing is saved.
  const std::string text_file = dir.file("notes.mbf");
  tunora::testing::writeText(text_file, "not a table");
  refresh_counter_.store(0);
  words_.build_request.store(7);
  EXPECT_EQ(change(DbChangeKind::kChange, text_file), DbChangeEnd::kNotSongTable);
  EXPECT_EQ(change(DbChangeKind::kNew, dir.file("no/such/folder/New.mbf")),
            DbChangeEnd::kCreateFailed);
  EXPECT_EQ(settings_.text(settings::kDatabasePath), lib.path());
  EXPECT_EQ(words_.build_request.load(), 7);
  EXPECT_EQ(refresh_counter_.load(), 0);
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(shown.size(), 2u);
}

DbResult run(SongLibrary& lib, DbFunction f, const DbInputs& in = {}, const DbValues& v = {}) {
  return runDbFunction(f, lib.table(), in, v, nullptr, nullptr);
}

TEST(DbFunctionsTest, CopyRatingsAndUpScoreWriteTheUsersColumns) {
  SongLibrary lib;
  const int32_t a = lib.add({.path = "/m/a.mp3", .score = 3});
  const int32_t b = lib.addPath("/m/b.mp3");
  const int32_t gone = lib.add({.path = "/m/c.mp3", .score = 3});
  lib.table().setStatus(gone, 5);
  lib.table().writeInt(a, ratingColumn(2), 77);
  lib.table().writeInt(b, ratingColumn(2), 5);
  lib.table().writeInt(b, ratingColumn(4), 300);
  for (DbInputs bad : {DbInputs{.user_a = 3, .user_b = 3}, DbInputs{.user_a = 0, .user_b = 5},
                       DbInputs{.user_a = 3, .user_b = 11}}) {
    EXPECT_FALSE(run(lib, DbFunction::kCopyRatings, bad).ok) << bad.user_a << " " << bad.user_b;
  }
  EXPECT_EQ(lib.number(b, ratingColumn(4)), 300u);
  const DbResult r = run(lib, DbFunction::kCopyRatings, {.user_a = 3, .user_b = 5});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(lib.number(a, ratingColumn(4)), 77u);
  EXPECT_EQ(lib.number(b, ratingColumn(4)), 5u);
  EXPECT_EQ(lib.number(a, ratingColumn(2)), 77u);
  EXPECT_EQ(r.walked, 3);   // the blank record too
  EXPECT_EQ(r.changed, 2);  // the blank one held 0 already

  EXPECT_FALSE(run(lib, DbFunction::kUpScore, {.user_a = 0}).ok);
  ASSERT_TRUE(run(lib, DbFunction::kUpScore, {.user_a = 1}).ok);
  EXPECT_EQ(lib.number(a, ratingColumn(0)), 2000u);
  EXPECT_EQ(lib.number(gone, ratingColumn(0)), 3u);  // deleted records are not walked
  EXPECT_EQ(lib.number(a, ratingColumn(1)), 0u);
}

// The plain algorithm: each live record deletes every later live record with the same path.
std::set<int32_t> plainDuplicates(SongLibrary& lib) {
  std::vector<int32_t> live = lib.live();
  std::set<int32_t> deleted;
  for (size_t i = 0; i < live.size(); ++i) {
    for (size_t j = i + 1; j < live.size() && !deleted.count(live[i]); ++j) {
      if (lib.table().readText(live[j], 1) == lib.table().readText(live[i], 1)) {
        deleted.insert(live[j]);
      }
    }
  }
  return deleted;
}

TEST(DbFunctionsTest, FastDuplicateRemovalMatchesThePlainOneOnRandomLibraries) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    SongLibrary lib(round % 2 == 0);
    for (int i = 0, songs = 1 + static_cast<int>(rng() % 60); i < songs; ++i) {
      const int32_t slot =
          lib.addPath("/m/" + std::to_string(rng() % 12) + (rng() % 3 == 0 ? "A" : "a"));
      if (rng() % 5 == 0) lib.table().setStatus(slot, 5);
    }
    const std::set<int32_t> expected = plainDuplicates(lib);
    const std::vector<int32_t> fast = duplicateSlots(lib.table());
    EXPECT_EQ(std::set<int32_t>(fast.begin(), fast.end()), expected) << "round " << round;
    EXPECT_EQ(run(lib, DbFunction::kRemoveDuplicates).changed,
              static_cast<int64_t>(expected.size()));
    EXPECT_TRUE(plainDuplicates(lib).empty());
  }
}

TEST(DbFunctionsTest, ReDefaultStartsAtTheLimitedStartOrTheFirstSong) {
  SongLibrary lib(false);
  std::vector<int32_t> slots;
  for (const char* p : {"/m/1", "/m/2", "/m/3"}) slots.push_back(lib.add({.path = p, .score = 99}));
  DbResult r = run(lib, DbFunction::kReDefault, {.start_text = "5"}, {.default_import = 16});
  EXPECT_EQ(r.walked, 1);
  EXPECT_EQ(lib.number(slots[1], ratingColumn(0)), 99u);
  for (int u = 0; u < 10; ++u) EXPECT_EQ(lib.number(slots[2], ratingColumn(u)), 16u);
  EXPECT_EQ(lib.number(slots[2], creditColumn(0)), 0u);  // credits stay
  r = run(lib, DbFunction::kReDefault, {.start_text = "abc"}, {.default_import = 16});
  EXPECT_EQ(r.walked, 3);
  EXPECT_EQ(lib.number(slots[0], ratingColumn(0)), 16u);
}

// Remove Missing never removes the blank first record: it names no file, but every import needs
// it. A compaction moves the live songs down over the deleted ones and leaves a copy of the last
// one it moved, with status 5, in every slot that song passed through. Undelete All must revive
// the songs that were deleted and still exist, never those copies.
TEST(DbFunctionsTest, UndeleteAllAfterACompactionRevivesOnlyDeletedSongs) {
  SongLibrary lib;
  for (int i = 0; i < 40; ++i) lib.addPath(lib.dir().file("gone" + std::to_string(i) + ".mp3"));
  std::string last_real;
  for (int i = 0; i < 20; ++i) {
    last_real = lib.dir().file("real" + std::to_string(i) + ".mp3");
    testing::writeText(last_real, "x");
    lib.addPath(last_real);
  }
  std::vector<int32_t> late;  // deleted songs above the last live one survive the compaction
  for (int i = 0; i < 5; ++i)
    late.push_back(lib.addPath(lib.dir().file("late" + std::to_string(i))));
  ASSERT_EQ(run(lib, DbFunction::kRemoveMissing).changed, 45);  // not the blank record
  ASSERT_NE(lib.table().compact(), 0);
  int copies = 0;
  for (int32_t s = 21; s < 61; ++s)
    copies += lib.table().readText(s, 1) == last_real && lib.status(s) == 5;
  ASSERT_GE(copies, 30);  // the compaction's copies are there to be revived by mistake

  EXPECT_EQ(run(lib, DbFunction::kUndeleteAll).changed, 5);
  std::map<std::string, int> paths;
  for (int32_t slot : lib.live()) ++paths[lib.table().readText(slot, 1).value_or("?")];
  EXPECT_EQ(paths.size(), 26u);  // the blank record, 20 songs, the 5 late ones
  for (const auto& [path, count] : paths) EXPECT_EQ(count, 1) << path;
  for (int32_t slot : late) EXPECT_EQ(lib.status(slot), 10);
}

// Records deleted without the mark (by an older program, or a kill between status and mark) are
// revived once per path, and only when no live record holds the path.
TEST(DbFunctionsTest, UndeleteAllRevivesUnmarkedRecordsOncePerPathNotHeldByALiveOne) {
  SongLibrary lib;
  const int32_t live = lib.addPath("/m/live.mp3");
  const int32_t lost = lib.addPath("/m/lost.mp3");
  const int32_t marked = lib.addPath("/m/live.mp3");  // a marked one comes back all the same
  for (const char* path : {"/m/live.mp3", "/m/LOST.mp3"})
    lib.table().setStatus(lib.addPath(path), 5);
  lib.table().setStatus(lost, 5);
  ASSERT_TRUE(deleteSongRecord(lib.table(), marked));
  EXPECT_EQ(run(lib, DbFunction::kUndeleteAll).changed, 2);
  EXPECT_EQ(lib.live(), (std::vector<int32_t>{0, live, lost, marked}));
}

TEST(DbFunctionsTest, ResetStartPointsSortingReloadTagsAndAbort) {
  SongLibrary lib(false);
  const std::string file = lib.dir().file("Real Title.mp3");
  testing::writeText(file, "no tag here");
  const int32_t a = lib.add({.path = file, .title = "Zebra", .artist = "Abba"});
  const int32_t locked = lib.add({.path = file, .title = "apple", .artist = "Queen"});
  lib.table().writeInt(locked, kColFlags, 4);
  lib.add({.path = "/m/gone", .title = "Mango", .artist = "Beatles"});
  lib.table().writeInt(a, kColStartFrame, 540);
  lib.table().writeInt(a, kColEndFrame, 9000);
  std::atomic<bool> abort{true};
  const DbResult aborted =
      runDbFunction(DbFunction::kResetStartPoints, lib.table(), {}, {}, &abort, nullptr);
  EXPECT_TRUE(aborted.aborted);
  EXPECT_EQ(lib.number(a, kColStartFrame), 540u);
  EXPECT_EQ(run(lib, DbFunction::kResetStartPoints).changed, 1);
  EXPECT_EQ(lib.number(a, kColStartFrame), 0u);
  EXPECT_EQ(lib.number(a, kColEndFrame), 9000u);

  auto column = [&](int32_t c) {
    std::vector<std::string> texts;
    for (int32_t s : lib.live()) texts.push_back(lib.table().readText(s, c).value_or("?"));
    return texts;
  };
  ASSERT_TRUE(run(lib, DbFunction::kSortByName).ok);
  EXPECT_EQ(column(kColTitle), (std::vector<std::string>{"apple", "Mango", "Zebra"}));
  ASSERT_TRUE(run(lib, DbFunction::kSortByArtist).ok);
  EXPECT_EQ(column(kColArtist), (std::vector<std::string>{"Abba", "Beatles", "Queen"}));

  const DbResult r = run(lib, DbFunction::kReloadTags);
  EXPECT_EQ(std::tie(r.changed, r.skipped, r.failed), std::make_tuple(1, 1, 1));
  EXPECT_EQ(column(kColTitle), (std::vector<std::string>{"Real Title", "Mango", "apple"}));
}

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
  // From another file system (tmpfs) the file is copied under a temporary name and renamed in;
  // a taken name there keeps the original and leaves nothing behind.
  const std::string name = "tunora_move_" + std::to_string(::getpid()) + ".mp3";
  const std::string far = "/dev/shm/" + name;
  testing::writeText(far, "far");
  EXPECT_EQ(moveIntoDataDir(far, data), data + name);
  EXPECT_EQ(testing::readBytes(data + name).size(), 3u);
  testing::writeText(far, "second");
  EXPECT_EQ(moveIntoDataDir(far, data), std::nullopt);
  EXPECT_EQ(testing::readBytes(far).size(), 6u);
  std::filesystem::remove(far);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data), {}), 2);
  // Deleting the only song closes the dialog.
  SongLibrary one;
  out = deleteSong(one.table(), one.addPath("/m/only"));
  EXPECT_TRUE(out.deleted && out.close_dialog);
}

}  // namespace
}  // namespace tunora::maintenance

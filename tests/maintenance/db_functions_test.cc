// The Database dialog's maintenance functions on small libraries, and the fast duplicate removal
// against the plain pairwise one on random libraries.
#include "maintenance/db_functions.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "library/rating.h"
#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

DbResult run(SongLibrary& lib, DbFunction f, const DbInputs& in = {}, const DbValues& v = {}) {
  return runDbFunction(f, lib.table(), in, v, nullptr, nullptr);
}

TEST(DbFunctionsTest, NamesAndConfirmationTexts) {
  DbInputs in;
  in.playlist_path = "/tmp/PL1.m3u";
  in.user_a = 3;
  in.user_b = 5;
  EXPECT_EQ(confirmationText(DbFunction::kSavePlaylist, in), "Save DB as Playlist /tmp/PL1.m3u");
  EXPECT_EQ(confirmationText(DbFunction::kCopyRatings, in), "Copy Ratings from 3 to 5");
  EXPECT_EQ(confirmationText(DbFunction::kUpScore, in), "UpScore Songs for  - 3");
  EXPECT_EQ(confirmationText(DbFunction::kRemoveMissing, in), "Remove Missing files");
  EXPECT_EQ(dbFunctionName(DbFunction::kSortByArtist), "Sort by Artist");
  EXPECT_EQ(dbFunctionName(static_cast<DbFunction>(11)), "");
}

TEST(DbFunctionsTest, CopyRatingsRefusesOneUserAndCopiesTheColumn) {
  SongLibrary lib;
  const int32_t a = lib.addPath("/m/a.mp3");
  const int32_t b = lib.addPath("/m/b.mp3");
  lib.table().writeInt(a, 18, 77);
  lib.table().writeInt(b, 18, 5);
  lib.table().writeInt(b, 24, 300);
  DbInputs same{.user_a = 3, .user_b = 3};
  EXPECT_TRUE(refusalOf(DbFunction::kCopyRatings, same).has_value());
  EXPECT_FALSE(run(lib, DbFunction::kCopyRatings, same).ok);
  for (DbInputs bad : {DbInputs{.user_a = 0, .user_b = 5}, DbInputs{.user_a = 3, .user_b = 11}}) {
    EXPECT_TRUE(refusalOf(DbFunction::kCopyRatings, bad).has_value());
  }
  EXPECT_EQ(lib.number(b, 24), 300u);

  const DbResult r = run(lib, DbFunction::kCopyRatings, {.user_a = 3, .user_b = 5});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(lib.number(a, 24), 77u);
  EXPECT_EQ(lib.number(b, 24), 5u);
  EXPECT_EQ(lib.number(a, 18), 77u);
  EXPECT_EQ(r.walked, 3);   // the blank record too
  EXPECT_EQ(r.changed, 2);  // the blank one held 0 already
}

TEST(DbFunctionsTest, UpScoreGivesTwiceTheTarget) {
  SongLibrary lib;
  const int32_t a = lib.add({.path = "/m/a.mp3", .score = 3});
  const int32_t gone = lib.add({.path = "/m/b.mp3", .score = 3});
  lib.table().setStatus(gone, 5);
  EXPECT_TRUE(refusalOf(DbFunction::kUpScore, {.user_a = 0}).has_value());
  ASSERT_TRUE(run(lib, DbFunction::kUpScore, {.user_a = 1}).ok);
  EXPECT_EQ(lib.number(a, 12), 2000u);
  EXPECT_EQ(ratingOfScore(2000, {1, 2, 4, 8, 16, 32, 64, 128, 256, 512}), 10);
  EXPECT_EQ(lib.number(gone, 12), 3u);  // deleted records are not walked
  EXPECT_EQ(lib.number(a, 15), 0u);
}

TEST(DbFunctionsTest, RemoveDuplicatesKeepsTheLowestSlotOfAnExactPath) {
  SongLibrary lib;
  const int32_t first = lib.addPath("/m/x.mp3");
  const int32_t upper = lib.addPath("/m/X.mp3");
  const int32_t second = lib.addPath("/m/x.mp3");
  const int32_t other = lib.addPath("/m/y.mp3");
  const int32_t third = lib.addPath("/m/x.mp3");
  const DbResult r = run(lib, DbFunction::kRemoveDuplicates);
  EXPECT_EQ(r.changed, 2);
  EXPECT_EQ(lib.live(), (std::vector<int32_t>{0, first, upper, other}));
  EXPECT_EQ(lib.status(second), 5);
  EXPECT_EQ(lib.status(third), 5);
}

// The plain algorithm: each live record deletes every later live record with the same path.
std::set<int32_t> plainDuplicates(SongLibrary& lib) {
  std::vector<int32_t> live = lib.live();
  std::set<int32_t> deleted;
  for (size_t i = 0; i < live.size(); ++i) {
    if (deleted.count(live[i])) continue;
    const auto path = lib.table().readText(live[i], 1);
    for (size_t j = i + 1; j < live.size(); ++j) {
      if (!deleted.count(live[j]) && lib.table().readText(live[j], 1) == path)
        deleted.insert(live[j]);
    }
  }
  return deleted;
}

TEST(DbFunctionsTest, FastDuplicateRemovalMatchesThePlainOneOnRandomLibraries) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    SongLibrary lib(round % 2 == 0);
    const int songs = 1 + static_cast<int>(rng() % 60);
    for (int i = 0; i < songs; ++i) {
      std::string path = "/m/" + std::to_string(rng() % 12) + (rng() % 3 == 0 ? "A" : "a");
      const int32_t slot = lib.addPath(path);
      if (rng() % 5 == 0) lib.table().setStatus(slot, 5);
    }
    const std::set<int32_t> expected = plainDuplicates(lib);
    const std::vector<int32_t> fast = duplicateSlots(lib.table());
    EXPECT_EQ(std::set<int32_t>(fast.begin(), fast.end()), expected) << "round " << round;
    EXPECT_EQ(run(lib, DbFunction::kRemoveDuplicates).changed,
              static_cast<int64_t>(expected.size()));
  }
}

TEST(DbFunctionsTest, ReDefaultStartsAtTheLimitedStartOrTheFirstSong) {
  SongLibrary lib(false);
  std::vector<int32_t> slots;
  for (const char* p : {"/m/1", "/m/2", "/m/3"}) slots.push_back(lib.add({.path = p, .score = 99}));
  DbInputs in;
  in.start_text = "5";
  DbResult r = run(lib, DbFunction::kReDefault, in, {.default_import = 16});
  EXPECT_EQ(r.walked, 1);
  EXPECT_EQ(lib.number(slots[0], 12), 99u);
  EXPECT_EQ(lib.number(slots[1], 12), 99u);
  for (int u = 0; u < 10; ++u) EXPECT_EQ(lib.number(slots[2], 12 + 3 * u), 16u);
  EXPECT_EQ(lib.number(slots[2], 13), 0u);  // credits stay

  for (std::optional<std::string> start :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("0"), std::optional<std::string>("abc")}) {
    lib.table().writeInt(slots[0], 12, 99);
    in.start_text = start;
    r = run(lib, DbFunction::kReDefault, in, {.default_import = 16});
    EXPECT_EQ(r.walked, 3);
    EXPECT_EQ(lib.number(slots[0], 12), 16u);
    EXPECT_NE(resultLine(DbFunction::kReDefault, r).find("started at the first song"),
              std::string::npos);
  }
}

TEST(DbFunctionsTest, UndeleteAllRevivesWhatTheOtherFunctionsDeleted) {
  SongLibrary lib;
  const std::string real = lib.dir().file("real.mp3");
  testing::writeText(real, "x");
  const int32_t kept = lib.addPath(real);
  const int32_t copy = lib.addPath(real);
  const int32_t missing = lib.addPath(lib.dir().file("gone.mp3"));
  EXPECT_EQ(run(lib, DbFunction::kRemoveDuplicates).changed, 1);
  const DbResult r = run(lib, DbFunction::kRemoveMissing);
  EXPECT_EQ(r.changed, 1);  // the missing file; the blank first record stays
  EXPECT_EQ(lib.live(), (std::vector<int32_t>{0, kept}));
  EXPECT_EQ(run(lib, DbFunction::kUndeleteAll).changed, 2);
  EXPECT_EQ(lib.live(), (std::vector<int32_t>{0, kept, copy, missing}));
}

// The blank record names no file, but every import needs it: it is never removed.
TEST(DbFunctionsTest, RemoveMissingNeverRemovesTheBlankFirstRecord) {
  SongLibrary lib;
  const int32_t gone = lib.addPath(lib.dir().file("gone.mp3"));
  const int32_t empty = lib.addPath("");
  EXPECT_EQ(run(lib, DbFunction::kRemoveMissing).changed, 2);
  EXPECT_EQ(lib.live(), (std::vector<int32_t>{0}));
  EXPECT_EQ(lib.status(gone), 5);
  EXPECT_EQ(lib.status(empty), 5);
}

std::map<std::string, int> livePaths(SongLibrary& lib) {
  std::map<std::string, int> paths;
  for (int32_t slot : lib.live()) ++paths[lib.table().readText(slot, 1).value_or("?")];
  return paths;
}

// A compaction moves the live songs down over the deleted ones and leaves a copy of the last one
// it moved, with status 5, in every slot that song passed through. Undelete All must revive the
// songs that were deleted and still exist, never those copies.
TEST(DbFunctionsTest, UndeleteAllAfterACompactionRevivesOnlyDeletedSongs) {
  SongLibrary lib;
  for (int i = 0; i < 40; ++i) lib.addPath(lib.dir().file("gone" + std::to_string(i) + ".mp3"));
  std::vector<std::string> real;
  for (int i = 0; i < 20; ++i) {
    real.push_back(lib.dir().file("real" + std::to_string(i) + ".mp3"));
    testing::writeText(real.back(), "x");
    lib.addPath(real.back());
  }
  std::vector<int32_t> late;  // deleted songs above the last live one survive the compaction
  for (int i = 0; i < 5; ++i)
    late.push_back(lib.addPath(lib.dir().file("late" + std::to_string(i))));
  ASSERT_EQ(run(lib, DbFunction::kRemoveMissing).changed, 45);
  ASSERT_NE(lib.table().compact(), 0);
  ASSERT_GT(lib.table().capacity(), 60u);
  int copies = 0;
  for (uint32_t s = 21; s < 61; ++s) {
    copies += lib.table().readText(static_cast<int32_t>(s), 1) == real.back() &&
              lib.status(static_cast<int32_t>(s)) == 5;
  }
  ASSERT_GE(copies, 30);  // the compaction's copies are there to be revived by mistake

  const DbResult r = run(lib, DbFunction::kUndeleteAll);
  EXPECT_EQ(r.changed, 5);
  const std::map<std::string, int> paths = livePaths(lib);
  EXPECT_EQ(paths.size(), 26u);  // the blank record, 20 songs, the 5 late ones
  for (const auto& [path, count] : paths) EXPECT_EQ(count, 1) << path;
  for (int32_t slot : late) EXPECT_EQ(lib.status(slot), 10);
}

// Records deleted without the mark (by an older program, or a kill between status and mark) are
// revived once per path, and only when no live record holds the path.
TEST(DbFunctionsTest, UndeleteAllRevivesUnmarkedRecordsOncePerPathNotHeldByALiveOne) {
  SongLibrary lib;
  const int32_t live = lib.addPath("/m/live.mp3");
  const int32_t copy_of_live = lib.addPath("/m/live.mp3");
  const int32_t lost = lib.addPath("/m/lost.mp3");
  const int32_t lost_again = lib.addPath("/m/LOST.mp3");
  for (int32_t slot : {copy_of_live, lost, lost_again})
    ASSERT_EQ(lib.table().setStatus(slot, 5), 1);
  EXPECT_EQ(run(lib, DbFunction::kUndeleteAll).changed, 1);
  EXPECT_EQ(lib.live(), (std::vector<int32_t>{0, live, lost}));
}

TEST(DbFunctionsTest, SavePlaylistWritesEveryLivePathWithTheBlankSlotAsAnEmptyLine) {
  SongLibrary lib;
  lib.addPath("/m/a.mp3");
  lib.table().setStatus(lib.addPath("/m/deleted.mp3"), 5);
  lib.addPath("/m/b c.mp3");
  DbInputs in;
  in.playlist_path = lib.dir().file("PL1.m3u");
  testing::writeText(in.playlist_path, "old contents that are longer than the new ones........");
  const DbResult r = run(lib, DbFunction::kSavePlaylist, in);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.changed, 3);
  const auto bytes = testing::readBytes(in.playlist_path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "\r\n/m/a.mp3\r\n/m/b c.mp3\r\n");

  in.playlist_path = lib.dir().file("no/such/folder/PL1.m3u");
  EXPECT_FALSE(run(lib, DbFunction::kSavePlaylist, in).ok);
}

TEST(DbFunctionsTest, AbortStopsBeforeTheNextRecord) {
  SongLibrary lib;
  lib.add({.path = "/m/a", .score = 1});
  std::atomic<bool> abort{true};
  const DbResult r =
      runDbFunction(DbFunction::kUpScore, lib.table(), {.user_a = 1}, {}, &abort, nullptr);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.changed, 0);
  EXPECT_EQ(lib.number(1, 12), 1u);
}

TEST(DbFunctionsTest, ResetStartPointsAndSorting) {
  SongLibrary lib(false);
  const int32_t a = lib.add({.path = "/m/1", .title = "Zebra", .artist = "Abba"});
  lib.add({.path = "/m/2", .title = "apple", .artist = "Queen"});
  lib.add({.path = "/m/3", .title = "Mango", .artist = "Beatles"});
  lib.table().writeInt(a, 42, 540);
  lib.table().writeInt(a, 43, 9000);
  EXPECT_EQ(run(lib, DbFunction::kResetStartPoints).changed, 1);
  EXPECT_EQ(lib.number(a, 42), 0u);
  EXPECT_EQ(lib.number(a, 43), 9000u);

  auto column = [&](int32_t c) {
    std::vector<std::string> texts;
    for (int32_t s : lib.live()) texts.push_back(lib.table().readText(s, c).value_or("?"));
    return texts;
  };
  ASSERT_TRUE(run(lib, DbFunction::kSortByName).ok);
  EXPECT_EQ(column(2), (std::vector<std::string>{"apple", "Mango", "Zebra"}));
  ASSERT_TRUE(run(lib, DbFunction::kSortByArtist).ok);
  EXPECT_EQ(column(3), (std::vector<std::string>{"Abba", "Beatles", "Queen"}));
}

TEST(DbFunctionsTest, ReloadTagsSkipsLockedSongs) {
  SongLibrary lib(false);
  const std::string file = lib.dir().file("Real Title.mp3");
  testing::writeText(file, "no tag here");
  const int32_t open = lib.add({.path = file, .title = "old"});
  const int32_t locked = lib.add({.path = file, .title = "old"});
  lib.table().writeInt(locked, 41, 4);
  const int32_t missing = lib.add({.path = lib.dir().file("gone.mp3"), .title = "old"});
  const DbResult r = run(lib, DbFunction::kReloadTags);
  EXPECT_EQ(r.changed, 1);
  EXPECT_EQ(r.skipped, 1);
  EXPECT_EQ(r.failed, 1);
  EXPECT_NE(lib.table().readText(open, 2), "old");
  EXPECT_EQ(lib.table().readText(locked, 2), "old");
  EXPECT_EQ(lib.table().readText(missing, 2), "old");
}

}  // namespace
}  // namespace tunora::maintenance

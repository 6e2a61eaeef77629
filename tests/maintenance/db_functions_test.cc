// The Database dialog's maintenance functions on small libraries, and the fast duplicate removal
// against the plain pairwise one on random libraries.
#include "maintenance/db_functions.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

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
  for (const char* path : {"/m/live.mp3", "/m/LOST.mp3"})
    lib.table().setStatus(lib.addPath(path), 5);
  lib.table().setStatus(lost, 5);
  EXPECT_EQ(run(lib, DbFunction::kUndeleteAll).changed, 1);
  EXPECT_EQ(lib.live(), (std::vector<int32_t>{0, live, lost}));
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
  EXPECT_EQ(r.changed, 1);
  EXPECT_EQ(r.skipped, 1);
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(column(kColTitle), (std::vector<std::string>{"Real Title", "Mango", "apple"}));
}

}  // namespace
}  // namespace tunora::maintenance

// tunora-cli db, search, top and worst on a small library: their exact output lines, refusals
// (exit 1) and usage errors (exit 2).
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/cli_runner.h"
#include "tests/support/song_library.h"
#include "tests/support/stored_fields.h"

namespace tunora::testing {
namespace {

class DbCommandsTest : public ::testing::Test {
 protected:
  // Path, title, artist, album, status, user 0's score, plays. Slot 1: a played mp3 of rating
  // 7; slot 2: a played video of rating 10; slot 3: slot 1's path again, never played.
  void SetUp() override {
    ASSERT_TRUE(writeLibrary(db_, {{"/m/Blue Moon.mp3", "Blue Moon", "Ann", "Nights", 10, 64, 3},
                                   {"/m/clip.avi", "Red \"Clip\"", "Bob", "", 10, 512, 1},
                                   {"/m/Blue Moon.mp3", "Blue Moon", "Ann", "Nights"}}));
  }

  CliResult cli(const std::string& arguments) {
    return runCli(arguments + " --db " + shellQuote(db_), dir_.file("err"));
  }
  std::string out(const std::string& arguments) {
    const auto r = cli(arguments);
    EXPECT_EQ(r.status, 0) << arguments << ": " << r.err;
    return r.out;
  }

  TempDir dir_;
  std::string db_ = dir_.file("songs.mbf");
};

constexpr char kMoon[] =
    R"({"title":"Blue Moon","artist":"Ann","album":"Nights","path":"/m/Blue Moon.mp3",)"
    R"("type":"Audio","rating":7,"index":1})"
    "\n";
constexpr char kClip[] =
    R"({"title":"Red \"Clip\"","artist":"Bob","album":"","path":"/m/clip.avi","type":"Video",)"
    R"("rating":10,"index":2})"
    "\n";

TEST_F(DbCommandsTest, FunctionsPrintTheirCounts) {
  EXPECT_EQ(out("db copy-ratings 1 2"), "4 songs, 2 changed\n");
  EXPECT_EQ(out("top --user 2"), std::string(kClip) + kMoon);
  EXPECT_EQ(out("db remove-duplicates"), "4 songs, 1 duplicate removed\n");
  EXPECT_EQ(out("search blue"), kMoon);
  EXPECT_EQ(out("db undelete-all"), "1 song undeleted\n");
  EXPECT_EQ(out("db upscore 1"), "4 songs, 4 changed\n");
  EXPECT_EQ(storedNumber(db_, 1, ratingColumn(0)), 2000u) << "twice the target value";
  EXPECT_EQ(out("db redefault 2"), "3 songs, 3 changed (from song 2)\n");
  EXPECT_EQ(out("db redefault 0"),
            "4 songs, 1 changed (no start given: started at the first song)\n");
  EXPECT_EQ(out("db reset-start-points"), "4 songs, 0 start points reset\n");
  EXPECT_EQ(out("db reload-tags"), "4 songs, 0 reloaded, 0 locked, 4 unreadable\n");
  const std::string playlist = dir_.file("PL1.m3u");
  EXPECT_EQ(out("db save-playlist " + shellQuote(playlist)), "4 paths written\n");
  EXPECT_EQ(readText(playlist), "\r\n/m/Blue Moon.mp3\r\n/m/clip.avi\r\n/m/Blue Moon.mp3\r\n");
  EXPECT_EQ(out("db sort-by-artist"), "4 songs sorted\n");
  EXPECT_EQ(out("db sort-by-name"), "4 songs sorted\n");
  // The blank first record names no file but stays.
  EXPECT_EQ(out("db remove-missing"), "4 songs, 3 missing removed\n");
  // An empty text searches nothing (the blank record is no song to find either).
  EXPECT_EQ(out("search \"\""), "");
  EXPECT_EQ(out("db undelete-all"), "3 songs undeleted\n");
}

TEST_F(DbCommandsTest, RefusalsAndUsageErrors) {
  auto r = cli("db copy-ratings 3 3");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "tunora-cli: Copy Ratings refused: copying a user's ratings onto the same user\n");
  EXPECT_EQ(cli("db upscore 11").status, 1);
  for (const char* usage : {"db copy-ratings x 3", "db sort-by-name extra", "top --user 0"}) {
    EXPECT_EQ(cli(usage).status, 2) << usage;
  }
  // Refused before anything is read: the library still answers as it did.
  EXPECT_EQ(out("top"), std::string(kClip) + kMoon);
}

}  // namespace
}  // namespace tunora::testing

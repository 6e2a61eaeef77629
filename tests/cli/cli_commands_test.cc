// tunora-cli as a user meets it: exit statuses (0 done, 2 a wrong command line, 1 a failure, with
// one line saying why), tags of a relative path, the output of table, db, search, top and worst;
// files that are not what a command expects are refused, nothing overwritten, deleted or waited
// on. And its plain parts: one command's options, and the status line of tunora-cli play.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "cli/args.h"
#include "cli/play_line.h"
#include "marlbase/table_handle.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/song_library.h"
#include "tests/support/stored_fields.h"

namespace tunora::testing {
namespace {

namespace fs = std::filesystem;
using namespace tunora::cli;

class CliTest : public ::testing::Test {
 protected:
  CliResult cli(const std::string& arguments, const std::string& folder = "") {
    return runCli(arguments, dir_.file("stderr"), folder);
  }
  static std::string q(const std::string& path) { return shellQuote(path); }

  TempDir dir_;
};
class CliCommandsTest : public CliTest {};
class TableCommandsTest : public CliTest {};

TEST_F(CliCommandsTest, UsageErrorsExitWithTwoAndFailuresWithOne) {
  writeText(dir_.file("list.m3u"), "a.mp3\r\n");
  EXPECT_EQ(cli("table info --help").status, 0);
  EXPECT_EQ(cli("playlist read " + q(dir_.file("list.m3u"))).status, 0);
  const auto group = cli("table");
  EXPECT_EQ(group.status, 2);
  EXPECT_EQ(group.err.rfind("tunora-cli: \"table\" needs a command\n", 0), 0u) << group.err;
  for (const char* usage : {"", "nosuch", "table info a b", "table dump --bogus x"}) {
    const auto r = cli(usage);
    EXPECT_EQ(r.status, 2) << usage;
    EXPECT_EQ(r.out, "") << usage;
    EXPECT_EQ(r.err.rfind("tunora-cli", 0), 0u) << usage << ": " << r.err;
  }
  for (const std::string& failure :
       {"table info " + q(dir_.file("missing")), "tags " + q(dir_.file("list.m3u")),
        "table create-song " + q(dir_.file("no/such/folder/t.mbf"))}) {
    const auto r = cli(failure);
    EXPECT_EQ(r.status, 1) << failure;
    EXPECT_EQ(r.out, "") << failure;
    EXPECT_EQ(r.err.rfind("tunora-cli: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // one line saying why
  }
}

TEST_F(CliCommandsTest, TagsOfARelativePathAreThoseOfTheFullPath) {
  fs::create_directories(dir_.path() / "Music" / "Some Band" / "First Album");
  writeText(dir_.file("Music/Some Band/First Album/03 Song.mp3"), "no tag here");
  const auto r =
      cli("tags './../First Album/03 Song.mp3'", dir_.file("Music/Some Band/First Album"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            R"({"title":"03 Song","artist":"Some Band","album":"First Album","note":"No Data",)"
            R"("start_frame":0})"
            "\n");
}

TEST_F(TableCommandsTest, CreateInfoAndDumpAnEmptyTable) {
  const std::string path = q(dir_.file("t.mbf"));
  ASSERT_EQ(cli("table create --columns 14,2,0 " + path).status, 0);
  // 4 + 1000 + 4 + 1 = 1009-byte records; 15 slots after 1444 + 24 header bytes.
  const std::string info =
      R"({"columns":[14,2,0],"capacity":10,"live":0,"record_size":1009,"file_size":16604})"
      "\n";
  EXPECT_EQ(cli("table info " + path).out, info);
  EXPECT_EQ(cli("table dump " + path).out, info);
  const auto all = cli("table dump --all " + path).out;
  EXPECT_EQ(all.substr(0, info.size()), info);
  EXPECT_NE(all.find(R"({"slot":9,"status":0,"fields":["",0,0]})"), std::string::npos);
}

TEST_F(TableCommandsTest, DumpShowsATextFieldAsReadFieldGivesIt) {
  // A type-10 field is 4 bytes wide and holds at most 3 bytes of text: a field whose fourth byte
  // is not a NUL still shows 3.
  const std::string path = dir_.file("t.mbf");
  ASSERT_EQ(cli("table create --columns 10,2 " + q(path)).status, 0);
  {
    marlbase::TableHandle table;
    table.setPath(path);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    const int32_t slot = table.allocate();
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(table.writeText(slot, 1, "abc"));
    ASSERT_TRUE(table.writeInt(slot, 2, 7));
    table.close();
  }
  std::vector<uint8_t> bytes = readBytes(path);
  const std::string image(bytes.begin(), bytes.end());
  const size_t at = image.find(std::string("abc\0\x07", 5));
  ASSERT_NE(at, std::string::npos);
  bytes[at + 3] = 'd';
  writeBytes(path, bytes);
  for (const char* flag : {"", "--bytes "}) {
    const auto out = cli(std::string("table dump ") + flag + q(path)).out;
    EXPECT_NE(out.find(R"(,"fields":["abc",7]})"), std::string::npos) << out;
  }
}

// 20 songs in Music/Band/Record imported into the library, so that a build or a fill would run.
class CliFileSafetyTest : public CliTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(cli("table create-song " + q(db_)).status, 0);
    fs::create_directories(dir_.file("Music/Band/Record"));
    for (int i = 0; i < 20; ++i) {
      writeText(dir_.file("Music/Band/Record/song" + std::to_string(i) + ".mp3"),
                "not really audio " + std::to_string(i));
    }
    ASSERT_EQ(cli("import --db " + q(db_) + " " + q(dir_.file("Music"))).status, 0);
  }

  std::string db_ = dir_.file("Tunora.mbf");
};

// Refusals (exit 1, nothing printed, a line saying why) that change neither the library nor the
// file named wrongly, and that neither wait on a FIFO nor read a device without end.
TEST_F(CliFileSafetyTest, CommandsGivenTheWrongFilesAreRefusedAndTouchNothing) {
  const std::string notes = dir_.file("notes.txt"), fifo = dir_.file("pipe.m3u");
  const std::string music = " " + q(dir_.file("Music")), db = " --db " + q(db_);
  const std::string build = "build --count 3 --seed 1" + db;
  writeText(notes, "my notes, not settings\n");
  ASSERT_EQ(symlink(db_.c_str(), dir_.file("link.mbf").c_str()), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directories(dir_.file("folder"));
  const auto library = readBytes(db_);
  const struct {
    std::string command, reason;
  } rows[] = {
      {build + " --settings " + q(notes), "not a settings file"},
      {"import --settings " + q(notes) + db + music, "not a settings file"},
      {"settings defaults " + q(notes), "not a settings file"},
      {build + " --settings " + q(db_), "name the same file"},
      {build + " --settings " + q(dir_.file("new.dat")) + " --out " + q(dir_.file("./new.dat")),
       "name the same file"},
      {"import --settings " + q(dir_.file("link.mbf")) + db + music, "name the same file"},
      {"table create-song " + q(db_), "exists (--force replaces it)"},
      {"table create --columns 2 " + q(db_), "exists (--force replaces it)"},
      {build + " --out " + q(dir_.file("missing/list.m3u")), ""},
      {build + " --out " + q(dir_.file("Music")), ""},
      {build + " --settings " + q(dir_.file("missing/s.dat")), ""},
      {build + " --settings " + q(fifo), ""},
      {"settings show /dev/zero", ""},
      {"import --settings " + q(dir_.file("folder")) + db + music, ""},
      {"playlist read " + q(fifo), ""},
      {"table info " + q(fifo), ""},
  };
  for (const auto& row : rows) {
    const CliResult r = cli(row.command);
    EXPECT_EQ(r.status, 1) << row.command;
    EXPECT_EQ(r.out, "") << row.command;
    EXPECT_EQ(r.err.rfind("tunora-cli: ", 0), 0u) << row.command << "\n" << r.err;
    EXPECT_NE(r.err.find(row.reason), std::string::npos) << row.command << "\n" << r.err;
  }
  EXPECT_EQ(readText(notes), "my notes, not settings\n");
  EXPECT_EQ(readBytes(db_), library);
  EXPECT_FALSE(fs::exists(dir_.file("new.dat")));
  // A missing settings file is made; a settings file is taken (and written over).
  const std::string settings = dir_.file("dTunora.dat");
  EXPECT_EQ(cli("settings defaults " + q(settings)).status, 0);
  EXPECT_EQ(cli("settings defaults " + q(settings)).status, 0);
  const auto bytes = readBytes(settings);
  ASSERT_EQ(bytes.size(), 7008u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "TUNO1401");
}

// A table is created over another only when forced; a failed creation leaves nothing.
TEST_F(CliFileSafetyTest, ATableIsCreatedOnlyWhereNoneIsUnlessForcedAndAFailedCreateLeavesNothing) {
  EXPECT_EQ(cli("table create-song --force " + q(db_)).status, 0);
  EXPECT_NE(cli("table info " + q(db_)).out.find("\"live\":1,"), std::string::npos);
  // A file system that takes no more than 1 KB per file (a full disk): the failed creation
  // removes the file it made.
  for (const std::string& command :
       {std::string("table create-song"), std::string("table create --columns 14,2")}) {
    const std::string full =
        "bash -c " + q("ulimit -f 1; trap '' XFSZ; exec " + std::string(TUNORA_CLI_PATH) + " " +
                       command + " " + q(dir_.file("full.mbf")) + " 2>/dev/null");
    EXPECT_NE(std::system(full.c_str()), 0) << command;
    EXPECT_FALSE(fs::exists(dir_.file("full.mbf"))) << command;
  }
}

// The library's folders are refused as a fill's destination, "--empty-dir" and all (the folder
// guard's rules are the filler's tests'); a folder of its own takes every song once.
class FillCommandTest : public CliFileSafetyTest {};

TEST_F(FillCommandTest, TheLibrarysFoldersAreRefusedAndAFolderOfItsOwnIsFilled) {
  const std::string fill = "fill --db " + q(db_) + " --size 128MB --empty-dir --dest ";
  for (const std::string& dest : {dir_.file("Music/Band"), dir_.folder()}) {
    const CliResult r = cli(fill + q(dest));
    EXPECT_EQ(r.status, 1) << dest;
    EXPECT_EQ(r.out, "") << dest;
  }
  size_t left = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir_.file("Music"))) {
    left += entry.is_regular_file();
  }
  EXPECT_EQ(left, 20u);
  EXPECT_TRUE(fs::exists(db_));
  fs::create_directories(dir_.file("out"));
  const CliResult r = cli(fill + q(dir_.file("out")) + " --add-number");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nall 20 songs copied: 20 files, "), std::string::npos) << r.out;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.file("out")), {}), 20);
}

class DbCommandsTest : public CliTest {
 protected:
  // Path, title, artist, album, status, user 0's score, plays. Slot 1: a played mp3 of rating
  // 7; slot 2: a played video of rating 10; slot 3: slot 1's path again, never played.
  void SetUp() override {
    ASSERT_TRUE(writeLibrary(db_, {{"/m/Blue Moon.mp3", "Blue Moon", "Ann", "Nights", 10, 64, 3},
                                   {"/m/clip.avi", "Red \"Clip\"", "Bob", "", 10, 512, 1},
                                   {"/m/Blue Moon.mp3", "Blue Moon", "Ann", "Nights"}}));
  }

  CliResult withDb(const std::string& arguments) { return cli(arguments + " --db " + q(db_)); }
  std::string out(const std::string& arguments) {
    const auto r = withDb(arguments);
    EXPECT_EQ(r.status, 0) << arguments << ": " << r.err;
    return r.out;
  }

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
  EXPECT_EQ(out("db save-playlist " + q(playlist)), "4 paths written\n");
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
  auto r = withDb("db copy-ratings 3 3");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "tunora-cli: Copy Ratings refused: copying a user's ratings onto the same user\n");
  EXPECT_EQ(withDb("db upscore 11").status, 1);
  for (const char* usage : {"db copy-ratings x 3", "db sort-by-name extra", "top --user 0"}) {
    EXPECT_EQ(withDb(usage).status, 2) << usage;
  }
  // Refused before anything is read: the library still answers as it did.
  EXPECT_EQ(out("top"), std::string(kClip) + kMoon);
}

using Words = std::vector<std::string>;

TEST(ArgsTest, FlagsOptionsAndPositionalWords) {
  Args args = Args::parse({"table.mbf", "--all", "--columns", "2,12", "--db=x.mbf", "-v", "-"},
                          {"--columns", "--db"});
  EXPECT_TRUE(args.error().empty());
  EXPECT_TRUE(args.flag("--all"));
  EXPECT_FALSE(args.flag("--columns"));
  EXPECT_EQ(args.option("--columns"), "2,12");
  EXPECT_EQ(args.option("--db"), "x.mbf");
  EXPECT_EQ(args.option("--all"), std::nullopt);
  EXPECT_EQ(args.positional(), (Words{"table.mbf", "-v", "-"}));  // "-" and "-v" are no options
  // A later value wins; an empty inline value counts.
  args = Args::parse({"--db", "a", "--db=b", "--state="}, {"--db", "--state"});
  EXPECT_EQ(args.option("--db"), "b");
  EXPECT_EQ(args.option("--state"), "");
  // "--" ends the options.
  args = Args::parse({"--all", "--", "--db", "--all"}, {"--db"});
  EXPECT_TRUE(args.flag("--all"));
  EXPECT_EQ(args.option("--db"), std::nullopt);
  EXPECT_EQ(args.positional(), (Words{"--db", "--all"}));
  // A value option at the end is an error; the next word is the value even when it looks like
  // an option.
  args = Args::parse({"x", "--db"}, {"--db"});
  EXPECT_EQ(args.error(), "option --db needs a value");
  EXPECT_EQ(args.option("--db"), std::nullopt);
  EXPECT_EQ(Args::parse({"--db", "--all"}, {"--db"}).option("--db"), "--all");
}

TEST(ArgsTest, NumbersAreTakenWithinTheirRangeOnly) {
  const struct {
    std::optional<std::string> text;
    bool ok;
    int64_t value;  // after the call, from 77
  } cases[] = {{std::nullopt, true, 77},
               {"0", true, 0},
               {"9", true, 9},
               {"10", false, 77},
               {"-1", false, 77},
               {"3x", false, 77},
               {"99999999999999999999", false, 77}};
  for (const auto& c : cases) {
    int64_t value = 77;
    EXPECT_EQ(parseNumber(c.text, 0, 9, value), c.ok) << c.text.value_or("(none)");
    EXPECT_EQ(value, c.value) << c.text.value_or("(none)");
  }
}

PlayLineInputs playing(int64_t position) {
  PlayLineInputs in;
  in.mode = PlayMode::kPlaying;
  in.position = position;
  in.length = 240000;
  in.song = "Echo Paper - Dee Minor - Minor Things  [*****.....]";
  in.texts = {"20 songs prepared", "31 entries", "User One"};
  return in;
}

TEST(PlayLine, ShowsTheModeTheClockAndTheSong) {
  EXPECT_EQ(clockText(65999), "1:05");
  EXPECT_EQ(clockText(3723000), "1:02:03");
  EXPECT_EQ(clockText(-1), "0:00");  // while switching songs

  EXPECT_EQ(playLine(playing(65000)),
            "Playing 1:05 / 4:00  Echo Paper - Dee Minor - Minor Things  [*****.....]"
            " | 20 songs prepared | 31 entries | User One");
  PlayLineInputs paused = playing(65000);
  paused.mode = PlayMode::kPaused;
  paused.problem = "No usable audio output";
  paused.message = "nothing to skip while paused (p plays on)";
  EXPECT_EQ(playLine(paused),
            "Paused 1:05 / 4:00  Echo Paper - Dee Minor - Minor Things  [*****.....]"
            "  [No usable audio output] | 20 songs prepared | 31 entries | User One"
            " - nothing to skip while paused (p plays on)");
  PlayLineInputs stopped = playing(0);
  stopped.mode = PlayMode::kStopped;
  EXPECT_EQ(playLine(stopped), "Stopped | 20 songs prepared | 31 entries | User One");
  PlayLineInputs unknown_length = playing(1000);
  unknown_length.length = 0;
  EXPECT_EQ(playLine(unknown_length).rfind("Playing 0:01  Echo", 0), 0u);
}

TEST(StatusLineWriter, ATerminalLineIsRewrittenInPlaceOnlyWhenItChanges) {
  StatusLineWriter writer(true);
  const std::string first = writer.update(playing(1000));
  EXPECT_EQ(first.rfind("\r\033[KPlaying 0:01 / 4:00", 0), 0u);
  EXPECT_EQ(first.find('\n'), std::string::npos);
  EXPECT_EQ(writer.update(playing(1400)), "");  // the same second: nothing to write
  EXPECT_EQ(writer.update(playing(2000)).rfind("\r\033[KPlaying 0:02", 0), 0u);

  // A message above the line ends the line; the status line is then written again.
  EXPECT_EQ(writer.permanent("tunora-cli: No usable audio output"),
            "\r\033[Ktunora-cli: No usable audio output\n");
  EXPECT_EQ(writer.update(playing(2000)).rfind("\r\033[KPlaying 0:02", 0), 0u);
}

TEST(KeyRefusal, KeysThatDoNothingSayWhy) {
  const KeyContext stopped{false, false, 20};
  const KeyContext now_playing{true, false, 20};
  const KeyContext paused{false, true, 20};
  const KeyContext filling{true, false, 1};
  for (char key : {'p', 's', 'r', 'b', 'q'}) EXPECT_EQ(keyRefusal(key, now_playing), "") << key;
  EXPECT_EQ(keyRefusal('b', stopped), "");  // plays the song before, or the list top
  EXPECT_NE(keyRefusal('s', stopped).find("nothing to skip"), std::string::npos);
  EXPECT_NE(keyRefusal('s', paused).find("paused"), std::string::npos);
  EXPECT_NE(keyRefusal('p', filling).find("2 songs are prepared"), std::string::npos);
  EXPECT_NE(keyRefusal('x', now_playing).find("s skip"), std::string::npos);
  EXPECT_EQ(keyRefusal('\n', now_playing), "");
}

}  // namespace
}  // namespace tunora::testing

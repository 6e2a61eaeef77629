// tunora-cli as a user meets it: the exit statuses (0 done, 2 for a wrong command line, 1 for a
// failure, with one line saying why), the tags of a file named by a relative path, and the
// output lines of table create / info / dump.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "marlbase/table_handle.h"
#include "tests/cli/cli_runner.h"

namespace tunora::testing {
namespace {

TEST(CliCommandsTest, UsageErrorsExitWithTwoAndFailuresWithOne) {
  TempDir dir;
  const std::string err = dir.file("err");
  const std::string missing = shellQuote(dir.file("missing"));
  writeText(dir.file("list.m3u"), "a.mp3\r\n");
  EXPECT_EQ(runCli("table info --help", err).status, 0);
  EXPECT_EQ(runCli("playlist read " + shellQuote(dir.file("list.m3u")), err).status, 0);
  const auto group = runCli("table", err);
  EXPECT_EQ(group.status, 2);
  EXPECT_EQ(group.err.rfind("tunora-cli: \"table\" needs a command\n", 0), 0u) << group.err;
  for (const char* usage : {"", "nosuch", "table info a b", "table dump --bogus x"}) {
    const auto r = runCli(usage, err);
    EXPECT_EQ(r.status, 2) << usage;
    EXPECT_EQ(r.out, "") << usage;
    EXPECT_EQ(r.err.rfind("tunora-cli", 0), 0u) << usage << ": " << r.err;
  }
  for (const std::string& failure :
       {"table info " + missing, "tags " + shellQuote(dir.file("list.m3u")),
        "table create-song " + shellQuote(dir.file("no/such/folder/t.mbf"))}) {
    const auto r = runCli(failure, err);
    EXPECT_EQ(r.status, 1) << failure;
    EXPECT_EQ(r.out, "") << failure;
    EXPECT_EQ(r.err.rfind("tunora-cli: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // one line saying why
  }
}

TEST(CliCommandsTest, TagsOfARelativePathAreThoseOfTheFullPath) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "Music" / "Some Band" / "First Album");
  writeText(dir.file("Music/Some Band/First Album/03 Song.mp3"), "no tag here");
  const auto r = runCli("tags './../First Album/03 Song.mp3'", dir.file("err"),
                        dir.file("Music/Some Band/First Album"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            R"({"title":"03 Song","artist":"Some Band","album":"First Album","note":"No Data",)"
            R"("start_frame":0})"
            "\n");
}

TEST(TableCommandsTest, CreateInfoAndDumpAnEmptyTable) {
  TempDir dir;
  const std::string path = shellQuote(dir.file("t.mbf"));
  const std::string err = dir.file("err");
  ASSERT_EQ(runCli("table create --columns 14,2,0 " + path, err).status, 0);
  // 4 + 1000 + 4 + 1 = 1009-byte records; 15 slots after 1444 + 24 header bytes.
  const std::string info =
      R"({"columns":[14,2,0],"capacity":10,"live":0,"record_size":1009,"file_size":16604})"
      "\n";
  EXPECT_EQ(runCli("table info " + path, err).out, info);
  EXPECT_EQ(runCli("table dump " + path, err).out, info);
  const auto all = runCli("table dump --all " + path, err).out;
  EXPECT_EQ(all.substr(0, info.size()), info);
  EXPECT_NE(all.find(R"({"slot":9,"status":0,"fields":["",0,0]})"), std::string::npos);
}

TEST(TableCommandsTest, DumpShowsATextFieldAsReadFieldGivesIt) {
  // A type-10 field is 4 bytes wide and holds at most 3 bytes of text: a field whose fourth byte
  // is not a NUL still shows 3.
  TempDir dir;
  const std::string path = dir.file("t.mbf");
  const std::string err = dir.file("err");
  ASSERT_EQ(runCli("table create --columns 10,2 " + shellQuote(path), err).status, 0);
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
    const auto out = runCli(std::string("table dump ") + flag + shellQuote(path), err).out;
    EXPECT_NE(out.find(R"(,"fields":["abc",7]})"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace tunora::testing

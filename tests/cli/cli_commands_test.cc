// tunora-cli as a user meets it: the exit statuses (0 done, 2 for a wrong command line, 1 for a
// failure, with one line saying why) and the tags of a file named by a relative path.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

using testing::runCli;
using testing::runCliIn;
using testing::shellQuote;
using testing::TempDir;

TEST(CliCommandsTest, UsageErrorsExitWithTwoAndFailuresWithOne) {
  TempDir dir;
  const std::string err = dir.file("err");
  const std::string missing = shellQuote(dir.file("missing"));
  testing::writeText(dir.file("list.m3u"), "a.mp3\r\n");
  EXPECT_EQ(runCli("table info --help", err).status, 0);
  EXPECT_EQ(runCli("playlist read " + shellQuote(dir.file("list.m3u")), err).status, 0);
  const auto group = runCli("table", err);
  EXPECT_EQ(group.status, 2);
  EXPECT_EQ(group.err.rfind("tunora-cli: \"table\" needs a command\n", 0), 0u) << group.err;
  for (const char* usage : {"", "nosuch", "table info", "table info a b", "table dump --bogus x",
                            "settings defaults a b", "classify --zap x.mp3", "tags a.mp3 b.mp3"}) {
    const auto r = runCli(usage, err);
    EXPECT_EQ(r.status, 2) << usage;
    EXPECT_EQ(r.out, "") << usage;
    EXPECT_EQ(r.err.rfind("tunora-cli", 0), 0u) << usage << ": " << r.err;
  }
  for (const std::string& failure :
       {"table info " + missing, "settings show " + missing, "playlist read " + missing,
        "tags " + shellQuote(dir.file("list.m3u")),
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
  testing::writeText(dir.file("Music/Some Band/First Album/03 Song.mp3"), "no tag here");
  const auto r = runCliIn(dir.file("Music/Some Band/First Album"),
                          "tags './../First Album/03 Song.mp3'", dir.file("err"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            R"({"title":"03 Song","artist":"Some Band","album":"First Album","note":"No Data",)"
            R"("start_frame":0})"
            "\n");
}

}  // namespace
}  // namespace tunora

// tunora-cli as a user meets it: help, the exit statuses (2 for a
// wrong command line, 1 for a failure), classify's type names, always-UTF-8 echoes of names,
// and the tags of a file named by a relative path.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

using testing::runCli;
using testing::runCliIn;
using testing::shellQuote;
using testing::TempDir;

constexpr char kExitHelp[] = "Exit status: 0 done; 1 failed";

TEST(CliCommandsTest, HelpAndAGroupWithoutItsCommand) {
  TempDir dir;
  const std::string err = dir.file("err");
  for (const auto& [group, command] : std::vector<std::pair<std::string, std::string>>{
           {"table", "info"}, {"settings", "show"}, {"playlist", "read"}}) {
    for (const std::string& line : {group + " --help", group + " " + command + " -h"}) {
      const auto r = runCli(line, err);
      EXPECT_EQ(r.status, 0) << line;
      EXPECT_NE(r.out.find(kExitHelp), std::string::npos) << line;
    }
    auto r = runCli(group, err);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(
        r.err.rfind(
            "tunora-cli: \"" + group + "\" needs a command\ntunora-cli " + group + ": one of\n", 0),
        0u)
        << r.err;
  }
}

TEST(CliCommandsTest, UsageErrorsExitWithTwoAndFailuresWithOne) {
  TempDir dir;
  const std::string err = dir.file("err");
  const std::string missing = shellQuote(dir.file("missing"));
  testing::writeText(dir.file("list.m3u"), "a.mp3\r\n");
  // Unknown commands and options, missing and extra arguments.
  // clang-format off
  for (const char* usage : {"", "nosuch", "table info", "table info a b", "table dump --bogus x",
                            "table create x", "table create-song", "settings show",
                            "settings defaults a b", "settings show --all x", "playlist read",
                            "playlist read --columns 1 x", "classify", "classify --off nosuch x.mp3",
                            "classify --zap x.mp3", "checksum", "tags", "tags a.mp3 b.mp3",
                            "tags --dir-to-id x a.mp3", "tags --lame-check"}) {
    // clang-format on
    SCOPED_TRACE(usage);
    const auto r = runCli(usage, err);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("tunora-cli", 0), 0u) << r.err;
  }
  // Well-formed command lines whose work fails.
  for (const std::string& failure :
       {"table info " + missing, "table dump " + missing, "settings show " + missing,
        "playlist read " + missing, "tags " + shellQuote(dir.file("missing.mp3")),
        "tags " + shellQuote(dir.file("list.m3u")),
        "table create-song " + shellQuote(dir.file("no/such/folder/t.mbf"))}) {
    SCOPED_TRACE(failure);
    const auto r = runCli(failure, err);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("tunora-cli: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;  // one line saying why
  }
  EXPECT_EQ(runCli("playlist read " + shellQuote(dir.file("list.m3u")), err).status, 0);
}

TEST(CliCommandsTest, ClassifyNamesTypesAndEchoedNamesAreUtf8) {
  TempDir dir;
  const std::string err = dir.file("err");
  auto r = runCli("classify --names a.mp3 B.MPEG c.WMV d.mid e.m4a f.txt", err);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "1 MP3 a.mp3\n17 MPEG B.MPEG\n18 WMV c.WMV\n3 MIDI d.mid\n0 none e.m4a\n"
            "0 none f.txt\n");
  r = runCli("classify --names --off wav s.wav x.wma y.asf z.avi w.wav --all", err);
  EXPECT_EQ(r.out, "2 WAV s.wav\n4 WMA x.wma\n5 ASF y.asf\n16 AVI z.avi\n2 WAV w.wav\n");
  EXPECT_EQ(runCli("classify --off wav s.wav", err).out, "0 s.wav\n");
  // A name that is not UTF-8 (\xE9 then \x80): read as Windows-1252 ("é€"), or with --bytes
  // each byte as the code point of its value (U+00E9, U+0080).
  const std::string name = "'\xE9\x80.mp3'";
  EXPECT_EQ(runCli("classify " + name, err).out, "1 \xC3\xA9\xE2\x82\xAC.mp3\n");
  EXPECT_EQ(runCli("classify --bytes --names " + name, err).out, "1 MP3 \xC3\xA9\xC2\x80.mp3\n");
  EXPECT_EQ(runCli("checksum " + name, err).out, "0 \xC3\xA9\xE2\x82\xAC.mp3\n");
  EXPECT_EQ(runCli("checksum --bytes " + name, err).out, "0 \xC3\xA9\xC2\x80.mp3\n");
}

TEST(CliCommandsTest, TagsOfARelativePathAreThoseOfTheFullPath) {
  TempDir dir;
  const std::string err = dir.file("err");
  std::filesystem::create_directories(dir.path() / "Music" / "Some Band" / "First Album");
  const std::string song = dir.file("Music/Some Band/First Album/03 Song.mp3");
  testing::writeText(song, "no tag here");
  const std::string expected =
      R"({"title":"03 Song","artist":"Some Band","album":"First Album","note":"No Data",)"
      R"("start_frame":0})"
      "\n";
  EXPECT_EQ(runCli("tags " + shellQuote(song), err).out, expected);
  for (const auto& [folder, relative] : std::vector<std::pair<std::string, std::string>>{
           {"Music/Some Band/First Album", "'03 Song.mp3'"},
           {"Music/Some Band", "'First Album/03 Song.mp3'"},
           {"Music/Some Band/First Album", "'./../First Album/03 Song.mp3'"}}) {
    SCOPED_TRACE(relative);
    const auto r = runCliIn(dir.file(folder), "tags " + relative, err);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
  }
  // A file of no supported type says so.
  const auto r = runCliIn(dir.file("Music"), "tags notes.txt", err);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "tunora-cli: notes.txt: not a media file of a type Tunora plays (mp3, wav, mid, wma, "
            "asf, avi, mpg, mpeg, wmv)\n");
}

}  // namespace
}  // namespace tunora

// Command-line argument access: statuses, blanks and quotes, long lines, and what the arguments
// ask of start-up.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace tunora {
namespace {

TEST(CommandLineTest, BlanksTabsAndQuotes) {
  const std::string line = "  tunora\t\t\"C:\\My Music\\list.m3u\"   a\"b c\"d  \"\" last";
  EXPECT_EQ(commandLineArgument(line, 0).text, "tunora");
  const CommandLineArg first = commandLineArgument(line, 1);
  EXPECT_EQ(first.status, ArgStatus::kFound);
  EXPECT_EQ(first.text, "C:\\My Music\\list.m3u");
  EXPECT_EQ(commandLineArgument(line, 2).text, "ab cd");
  const CommandLineArg empty = commandLineArgument(line, 3);
  EXPECT_EQ(empty.status, ArgStatus::kEmpty);
  EXPECT_EQ(empty.text, "");
  EXPECT_EQ(commandLineArgument(line, 4).text, "last");
  const CommandLineArg missing = commandLineArgument(line, 5);
  EXPECT_EQ(missing.status, ArgStatus::kMissing);
  EXPECT_EQ(missing.text, "");
  EXPECT_EQ(commandLineArgument("", 0).status, ArgStatus::kMissing);
  EXPECT_EQ(commandLineArgument(" \t ", 0).status, ArgStatus::kMissing);
}

TEST(CommandLineTest, OddQuotesSpoilEveryArgument) {
  const std::string line = "tunora \"a b\" \"c";
  EXPECT_EQ(commandLineArgument(line, 0).status, ArgStatus::kUnbalanced);
  EXPECT_EQ(commandLineArgument(line, 1).status, ArgStatus::kUnbalanced);
  EXPECT_TRUE(splitCommandLine(line).empty());
  const StartOptions options = readStartOptions("tunora \"\\f");
  EXPECT_FALSE(options.argument_present || options.filler);
}

TEST(CommandLineTest, LongLines) {
  std::string line = "tunora";
  for (int i = 0; i < 5000; ++i) line += " arg" + std::to_string(i);
  line += " \"" + std::string(100000, 'x') + " y\"";
  EXPECT_EQ(commandLineArgument(line, 4999).text, "arg4998");
  EXPECT_EQ(commandLineArgument(line, 5001).text.size(), 100002u);
  EXPECT_EQ(splitCommandLine(line).size(), 5002u);
}

TEST(CommandLineTest, JoinQuotesWordsWithBlanks) {
  EXPECT_EQ(joinCommandLine({"/usr/bin/tunora", "a b", "", "c\td", "plain"}),
            "/usr/bin/tunora \"a b\" \"\" \"c\td\" plain");
  EXPECT_EQ(joinCommandLine({"x", "say \"hi\""}), "x \"say hi\"");
  const std::vector<std::string> words = {"p", "a b", "", "c"};
  EXPECT_EQ(splitCommandLine(joinCommandLine(words)), words);
}

TEST(CommandLineTest, OnlyTheLastCharacterOfEachArgumentCounts) {
  EXPECT_TRUE(readStartOptions("tunora \\f").filler);
  EXPECT_TRUE(readStartOptions("tunora F").filler);
  EXPECT_TRUE(readStartOptions("tunora /x/stuff").filler);
  EXPECT_FALSE(readStartOptions("tunora fx").filler);
  EXPECT_TRUE(readStartOptions("tunora xs").play_on_start);
  EXPECT_TRUE(readStartOptions("tunora S").play_on_start);
  const StartOptions both = readStartOptions("tunora s f");
  EXPECT_TRUE(both.filler && both.play_on_start && both.argument_present);
  // The scan stops at an empty argument.
  EXPECT_FALSE(readStartOptions("tunora \"\" f").filler);
  EXPECT_FALSE(readStartOptions("tunora \"\" f").argument_present);
  const StartOptions none = readStartOptions("tunora");
  EXPECT_FALSE(none.argument_present || none.filler || none.play_on_start);
  EXPECT_TRUE(readStartOptions("tunora x").argument_present);
}

// Words sort into options, paths and the two texts; files never count as options.
TEST(CommandLineTest, ArgumentsSortIntoOptionsAndPaths) {
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> options;  // after the program
    std::vector<std::string> paths;
    bool help, version, filler, play;
  };
  const Case cases[] = {
      // "tunora %F" with a video ending in "f" and a song ending in "s".
      {{"/usr/bin/tunora", "/home/a/clip.asf", "/m/x.wms"},
       {},
       {"/home/a/clip.asf", "/m/x.wms"},
       false,
       false,
       false,
       false},
      {{"tunora", "/a b/clip.asf", "s"}, {"s"}, {"/a b/clip.asf"}, false, false, false, true},
      {{"tunora", "clip.asf"}, {}, {"clip.asf"}, false, false, false, false},
      {{"tunora", "\\f"}, {"\\f"}, {}, false, false, true, false},
      {{"tunora", "F", "s"}, {"F", "s"}, {}, false, false, true, false},
      {{"tunora", "-s", "."}, {"-s"}, {"."}, false, false, false, true},
      {{"tunora", "Music", "a/b"}, {}, {"Music", "a/b"}, false, false, false, false},
      {{"tunora", "--help"}, {}, {}, true, false, false, false},
      {{"tunora", "-h", "--version"}, {}, {}, true, true, false, false},
  };
  for (const Case& c : cases) {
    const ProgramArguments sorted = sortProgramArguments(c.words);
    std::vector<std::string> options(sorted.option_words.begin() + 1, sorted.option_words.end());
    EXPECT_EQ(options, c.options) << c.words[1];
    EXPECT_EQ(sorted.paths, c.paths) << c.words[1];
    EXPECT_EQ(sorted.help, c.help) << c.words[1];
    EXPECT_EQ(sorted.version, c.version) << c.words[1];
    const StartOptions start = readStartOptions(joinCommandLine(sorted.option_words));
    EXPECT_EQ(start.filler, c.filler) << c.words[1];
    EXPECT_EQ(start.play_on_start, c.play) << c.words[1];
  }
  EXPECT_EQ(sortProgramArguments({"tunora", "--play"}).unknown,
            (std::vector<std::string>{"--play"}));
}

}  // namespace
}  // namespace tunora

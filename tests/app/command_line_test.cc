// Command-line argument access: statuses, blanks and quotes, and what the arguments ask of
// start-up.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tunora {
namespace {

TEST(CommandLineTest, BlanksTabsAndQuotes) {
  const std::string line = "  tunora\t\t\"C:\\My Music\\list.m3u\"   a\"b c\"d  \"\" last";
  EXPECT_EQ(commandLineArgument(line, 0).text, "tunora");
  const std::pair<ArgStatus, std::string> expected[] = {
      {ArgStatus::kFound, "C:\\My Music\\list.m3u"},
      {ArgStatus::kFound, "ab cd"},
      {ArgStatus::kEmpty, ""},
      {ArgStatus::kFound, "last"},
      {ArgStatus::kMissing, ""}};
  for (int i = 1; i <= 5; ++i) {
    const CommandLineArg arg = commandLineArgument(line, i);
    EXPECT_EQ(arg.status, expected[i - 1].first) << i;
    EXPECT_EQ(arg.text, expected[i - 1].second) << i;
  }
  EXPECT_EQ(commandLineArgument(" \t ", 0).status, ArgStatus::kMissing);
}

TEST(CommandLineTest, OddQuotesSpoilEveryArgumentAndJoinQuotesWordsWithBlanks) {
  const std::string line = "tunora \"a b\" \"c";
  EXPECT_EQ(commandLineArgument(line, 0).status, ArgStatus::kUnbalanced);
  EXPECT_EQ(commandLineArgument(line, 1).status, ArgStatus::kUnbalanced);
  EXPECT_TRUE(splitCommandLine(line).empty());
  const StartOptions options = readStartOptions("tunora \"\\f");
  EXPECT_FALSE(options.argument_present || options.filler);

  // Joined, words with blanks are quoted, and split again they come back.
  EXPECT_EQ(joinCommandLine({"/usr/bin/tunora", "a b", "", "c\td", "plain"}),
            "/usr/bin/tunora \"a b\" \"\" \"c\td\" plain");
  EXPECT_EQ(joinCommandLine({"x", "say \"hi\""}), "x \"say hi\"");
  const std::vector<std::string> words = {"p", "a b", "", "c"};
  EXPECT_EQ(splitCommandLine(joinCommandLine(words)), words);
}

// Only the last character of each argument counts; the scan stops at an empty argument. Each
// row: the line after the program, and the flags argument present, filler and play ("afp").
TEST(CommandLineTest, OnlyTheLastCharacterOfEachArgumentCounts) {
  const std::pair<const char*, const char*> rows[] = {
      {"\\f", "af-"}, {"F", "af-"},   {"/x/stuff", "af-"}, {"fx", "a--"}, {"xs", "a-p"},
      {"S", "a-p"},   {"s f", "afp"}, {"\"\" f", "---"},   {"", "---"},   {"x", "a--"}};
  for (const auto& [line, flags] : rows) {
    const StartOptions o = readStartOptions(std::string("tunora ") + line);
    const std::string got = {o.argument_present ? 'a' : '-', o.filler ? 'f' : '-',
                             o.play_on_start ? 'p' : '-'};
    EXPECT_EQ(got, flags) << line;
  }
}

// Words sort into options, paths and the two texts; files never count as options. Each row: the
// words after the program; the options and the paths they give, joined by "|"; and the flags
// help, version, filler and play (as "hvfp", "-" where off).
TEST(CommandLineTest, ArgumentsSortIntoOptionsAndPaths) {
  auto join = [](const std::vector<std::string>& words, size_t from) {
    std::string out;
    for (size_t i = from; i < words.size(); ++i) out += (i > from ? "|" : "") + words[i];
    return out;
  };
  const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
      // "tunora %F" with a video ending in "f" and a song ending in "s".
      {{"/home/a/clip.asf", "/m/x.wms"}, " /home/a/clip.asf|/m/x.wms ----"},
      {{"/a b/clip.asf", "s"}, "s /a b/clip.asf ---p"},
      {{"\\f"}, "\\f  --f-"},
      {{"-s", "."}, "-s . ---p"},
      {{"--help"}, "  h---"},
      {{"-h", "--version"}, "  hv--"},
  };
  for (const auto& [words, expected] : rows) {
    std::vector<std::string> line = {"tunora"};
    line.insert(line.end(), words.begin(), words.end());
    const ProgramArguments sorted = sortProgramArguments(line);
    const StartOptions start = readStartOptions(joinCommandLine(sorted.option_words));
    const std::string flags = {sorted.help ? 'h' : '-', sorted.version ? 'v' : '-',
                               start.filler ? 'f' : '-', start.play_on_start ? 'p' : '-'};
    EXPECT_EQ(join(sorted.option_words, 1) + " " + join(sorted.paths, 0) + " " + flags, expected)
        << words[0];
  }
  EXPECT_EQ(sortProgramArguments({"tunora", "--play"}).unknown,
            (std::vector<std::string>{"--play"}));
}

}  // namespace
}  // namespace tunora

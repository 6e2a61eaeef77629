// The plain parts of tunora-cli: the options of one command (flags, options with a value in
// either form, the last of a repeated option, "--", a missing value, numbers within their range)
// and the status line of tunora-cli play (its text for playing, paused and stopped, the writer
// that rewrites a terminal's line in place, the reasons keys give when they do nothing).
#include <gtest/gtest.h>

#include "cli/args.h"
#include "cli/play_line.h"

namespace tunora::cli {
namespace {

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
}  // namespace tunora::cli

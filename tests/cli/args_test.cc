// The options of one tunora-cli command: flags, options with a value in either form, the last
// of a repeated option, "--", a missing value, and numbers within their range.
#include "cli/args.h"

#include <gtest/gtest.h>

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
  } cases[] = {{std::nullopt, true, 77}, {"0", true, 0},
               {"9", true, 9},           {"5", true, 5},
               {"10", false, 77},        {"-1", false, 77},
               {"", false, 77},          {"3x", false, 77},
               {"x", false, 77},         {"99999999999999999999", false, 77}};
  for (const auto& c : cases) {
    int64_t value = 77;
    EXPECT_EQ(parseNumber(c.text, 0, 9, value), c.ok) << c.text.value_or("(none)");
    EXPECT_EQ(value, c.value) << c.text.value_or("(none)");
  }
}

}  // namespace
}  // namespace tunora::cli

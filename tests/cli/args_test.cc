// The options of one tunora-cli command: flags, options with a value in either form, the last
// of a repeated option, "--" and a missing value.
#include "cli/args.h"

#include <gtest/gtest.h>

namespace tunora::cli {
namespace {

using Words = std::vector<std::string>;

TEST(ArgsTest, SeparatesFlagsOptionsAndPositionalWords) {
  const Args args = Args::parse(
      {"table.mbf", "--all", "--columns", "2,12", "--db=x.mbf", "-v", "-"}, {"--columns", "--db"});
  EXPECT_TRUE(args.error().empty());
  EXPECT_TRUE(args.flag("--all"));
  EXPECT_FALSE(args.flag("--columns"));
  EXPECT_EQ(args.option("--columns"), "2,12");
  EXPECT_EQ(args.option("--db"), "x.mbf");
  EXPECT_EQ(args.option("--all"), std::nullopt);
  // A single dash and words without "--" are positional.
  EXPECT_EQ(args.positional(), (Words{"table.mbf", "-v", "-"}));
}

TEST(ArgsTest, ALaterValueWinsAndAnEmptyInlineValueCounts) {
  const Args args = Args::parse({"--db", "a", "--db=b", "--state="}, {"--db", "--state"});
  EXPECT_EQ(args.option("--db"), "b");
  EXPECT_EQ(args.option("--state"), "");
}

TEST(ArgsTest, DoubleDashEndsTheOptions) {
  const Args args = Args::parse({"--all", "--", "--db", "--all"}, {"--db"});
  EXPECT_TRUE(args.flag("--all"));
  EXPECT_EQ(args.option("--db"), std::nullopt);
  EXPECT_EQ(args.positional(), (Words{"--db", "--all"}));
}

TEST(ArgsTest, AValueOptionAtTheEndIsAnErrorAndTakesNoValue) {
  const Args args = Args::parse({"x", "--db"}, {"--db"});
  EXPECT_EQ(args.error(), "option --db needs a value");
  EXPECT_EQ(args.option("--db"), std::nullopt);
  // The next word is the value even when it looks like an option.
  EXPECT_EQ(Args::parse({"--db", "--all"}, {"--db"}).option("--db"), "--all");
}

}  // namespace
}  // namespace tunora::cli

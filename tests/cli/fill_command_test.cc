// tunora-cli fill on a small library of demo songs: the library's folders are refused (exit 1)
// and touched by nothing, "--empty-dir" included, and a fill of a folder of its own. What a fill
// copies and deletes is the filler's tests' (filler/).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {
namespace {

namespace fs = std::filesystem;

class FillCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    music_ = dir_.file("music");
    db_ = dir_.file("lib.mbf");
    ASSERT_EQ(run("demo " + shellQuote(music_)).status, 0);
    ASSERT_EQ(run("table create-song " + shellQuote(db_)).status, 0);
    ASSERT_EQ(run("import --db " + shellQuote(db_) + " " + shellQuote(music_)).status, 0);
  }
  CliResult run(const std::string& arguments) { return runCli(arguments, dir_.file("err.txt")); }

  TempDir dir_;
  std::string music_, db_;
};

// The library's folders are refused (the folder guard's rules are the filler's tests'); a folder
// of its own takes every song once.
TEST_F(FillCommandTest, TheLibrarysFoldersAreRefusedAndAFolderOfItsOwnIsFilled) {
  const std::string artist = (*fs::directory_iterator(music_)).path().string();
  for (const std::string& dest : {artist, dir_.folder()}) {
    fs::create_directories(dir_.file("out"));
    const CliResult r = run("fill --db " + shellQuote(db_) + " --dest " + shellQuote(dest) +
                            " --size 128MB --empty-dir");
    EXPECT_EQ(r.status, 1) << dest;
    EXPECT_EQ(r.out, "") << dest;
  }
  size_t left = 0;
  for (const auto& entry : fs::recursive_directory_iterator(music_))
    left += entry.is_regular_file();
  EXPECT_EQ(left, 30u);
  EXPECT_TRUE(fs::exists(db_));
  fs::create_directories(dir_.file("out"));
  const CliResult r = run("fill --db " + shellQuote(db_) + " --dest " +
                          shellQuote(dir_.file("out")) + " --size 128MB --add-number --empty-dir");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nall 30 songs copied: 30 files, "), std::string::npos) << r.out;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.file("out")), {}), 30);
}

}  // namespace
}  // namespace tunora::testing

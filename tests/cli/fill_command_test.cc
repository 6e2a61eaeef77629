// tunora-cli fill on a small library of demo songs: the lines it prints, the files it leaves,
// "--empty-dir", and its refusals (exit 1). The fill's rules are the fill engine's tests'
// (filler/).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/cli/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class FillCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    music_ = dir_.file("music");
    db_ = dir_.file("lib.mbf");
    ASSERT_EQ(run("demo " + shellQuote(music_)).status, 0);
    ASSERT_EQ(run("table create-song " + shellQuote(db_)).status, 0);
    ASSERT_EQ(run("import --db " + shellQuote(db_) + " " + shellQuote(music_)).status, 0);
    for (const auto& entry : fs::recursive_directory_iterator(music_)) {
      if (entry.is_regular_file()) songs_[entry.path().filename()] = entry.file_size();
    }
    ASSERT_EQ(songs_.size(), 30u);
  }
  CliResult run(const std::string& arguments) { return runCli(arguments, dir_.file("err.txt")); }

  TempDir dir_;
  std::string music_, db_;
  std::map<std::string, uint64_t> songs_;  // file name -> size
};

// The library (30 songs, about 5 MB) is smaller than the size: every song is copied once under
// its number, and the fill says so; what "--empty-dir" deletes is the filler's tests' (filler/).
TEST_F(FillCommandTest, CopiesEverySongOnceAfterEmptyingTheFolder) {
  const std::string out = dir_.file("out");
  fs::create_directories(out + "/sub");
  writeBytes(out + "/old.txt", {1});
  const std::string fill = "fill --db " + shellQuote(db_) + " --dest " + shellQuote(out) +
                           " --size 128MB --add-number --seed 5";
  const CliResult r = run(fill + " --empty-dir");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = linesOf(r.out);
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines.front(), "Emptied " + out + ": 1 files deleted, 1 entries kept");
  uint64_t bytes = 0;
  std::map<std::string, int> copies;
  for (size_t i = 0; i < 30; ++i) {
    const std::string& line = lines[i + 1];
    char number[32];
    std::snprintf(number, sizeof number, "%03zu ", i);
    ASSERT_EQ(line.substr(0, out.size() + 5), out + "/" + number) << line;
    const std::string name = line.substr(out.size() + 5);
    ASSERT_TRUE(songs_.count(name)) << line;
    EXPECT_EQ(++copies[name], 1) << name;
    bytes += songs_[name];
    EXPECT_EQ(fs::file_size(line), songs_[name]);
  }
  EXPECT_EQ(lines.back(), "all 30 songs copied: 30 files, " + std::to_string(bytes) + " bytes");
  EXPECT_FALSE(fs::exists(out + "/old.txt"));
}

// The library's folders are refused (the folder guard's rules are the filler's tests').
TEST_F(FillCommandTest, TheLibrarysFoldersAreRefusedAndTouchNothing) {
  const std::string artist = (*fs::directory_iterator(music_)).path().string();
  for (const std::string& dest : {artist, dir_.folder()}) {
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
}

}  // namespace
}  // namespace tunora::testing

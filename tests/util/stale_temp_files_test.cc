// The temporary files of killed writers: which names are theirs, and that only those of ended
// processes are removed (never a running writer's, never anything else).
#include "util/stale_temp_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "tests/support/temp_dir.h"
#include "util/atomic_file.h"

namespace tunora {
namespace {

namespace fs = std::filesystem;

TEST(StaleTempFilesTest, TheNamesOfTemporaryFiles) {
  struct Case {
    const char* name;
    int pid;
  };
  for (const Case& c :
       {Case{"dTunora.dat.tmp4321", 4321}, Case{"PL10.m3u.tmp7", 7}, Case{"a.tmp.tmp12", 12},
        Case{"x.tmp", 0}, Case{".tmp55", 0}, Case{"song.tmp12a", 0}, Case{"song.mp3", 0},
        Case{"x.tmp0", 0}, Case{"x.tmp12345678901", 0}, Case{"tmp123", 0}}) {
    EXPECT_EQ(stalePidOf(c.name), c.pid) << c.name;
  }
  EXPECT_EQ(stalePidOf(fs::path(temporaryNameFor("/d/PL1.m3u")).filename().string()), getpid());
}

TEST(StaleTempFilesTest, OnlyTheFilesOfEndedWritersAreRemoved) {
  testing::TempDir dir;
  // A process that has ended, and one that runs until the test ends.
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
  const pid_t running = fork();
  if (running == 0) {
    pause();
    _exit(0);
  }
  const std::string gone = "PL1.m3u.tmp" + std::to_string(ended);
  const std::string busy = "dTunora.dat.tmp" + std::to_string(running);
  const std::string mine = "dTnFill.dat.tmp" + std::to_string(getpid());
  for (const std::string& name : {gone, busy, mine, std::string("song.mp3"), std::string("x.tmp"),
                                  "other.tmp" + std::to_string(ended) + "x"}) {
    testing::writeText(dir.file(name), "x");
  }
  fs::create_directory(dir.file("folder.tmp" + std::to_string(ended)));
  fs::create_symlink(dir.file("song.mp3"), dir.file("link.tmp" + std::to_string(ended)));

  EXPECT_EQ(removeStaleTempFiles(dir.folder()), std::vector<std::string>{gone});
  kill(running, SIGKILL);
  waitpid(running, nullptr, 0);
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    left.insert(entry.path().filename().string());
  }
  EXPECT_EQ(left.count(gone), 0u);
  EXPECT_EQ(left.size(), 7u);
  // Once its writer has ended, the busy one goes too.
  EXPECT_EQ(removeStaleTempFiles(dir.folder()), std::vector<std::string>{busy});
}

}  // namespace
}  // namespace tunora

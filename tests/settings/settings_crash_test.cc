// A save that dies part-way, or meets a full disk, leaves the old settings file whole: the
// process is ended at every step of the save in a child process, then the file is loaded.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <vector>

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "tests/settings/settings_test_bytes.h"

namespace tunora {
namespace {

using namespace settings;

std::vector<uint8_t> fileWithListSize(uint8_t list_size) {
  std::vector<uint8_t> record(7000, 0x20);
  record[8] = list_size;
  record[6999] = list_size;
  return testing::settingsFileBytes("TUNO1401", record);
}

// Runs `body` in a child process and returns its exit status (-1 when it did not exit).
template <typename Body>
int inChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t leftoverTempFiles(const std::string& dir) {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    n += entry.path().filename() != "dTunora.dat";
  }
  return n;
}

TEST(SettingsCrashTest, DeathAtAnyStepLeavesOldOrNewFile) {
  testing::TempDir data;
  const auto old_file = fileWithListSize(1);
  const auto new_file = fileWithListSize(2);
  Settings fresh;
  ASSERT_EQ(decodeSettingsFile(new_file, fresh), 1000);

  int new_seen = 0;
  int old_seen = 0;
  // Steps: created; the header and 14 record chunks of at most 512 bytes; synced, renamed and
  // folder-synced: 19 in all. A 20th death point is past the end: the save completes.
  for (int kill_at = 1; kill_at <= 20; ++kill_at) {
    testing::writeBytes(data.file("dTunora.dat"), old_file);
    const int exit_code = inChild([&] {
      int step = 0;
      ReplaceOptions options;
      options.chunk_size = 512;
      options.TEST_hook = [&](ReplaceStep, size_t) {
        if (++step == kill_at) ::_exit(42);
      };
      return saveSettings(fresh, data.folder(), {}, options).ok() ? 0 : 1;
    });
    EXPECT_EQ(exit_code, kill_at <= 19 ? 42 : 0) << "kill at " << kill_at;

    const auto on_disk = testing::readBytes(data.file("dTunora.dat"));
    Settings loaded;
    const SettingsLoadResult r = loadSettings(data.folder(), data.folder(), loaded);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.record_bytes, 7000u);
    if (on_disk == new_file) {
      ++new_seen;
    } else {
      ASSERT_EQ(on_disk, old_file) << "damaged after a death at step " << kill_at;
      ++old_seen;
    }
    // A death before the rename may leave the temporary file; the next save replaces it.
    for (const auto& entry : std::filesystem::directory_iterator(data.folder())) {
      if (entry.path().filename() != "dTunora.dat") std::filesystem::remove(entry.path());
    }
  }
  EXPECT_EQ(old_seen, 17);  // deaths up to and including the sync
  EXPECT_EQ(new_seen, 3);   // after the rename
}

TEST(SettingsCrashTest, FullDiskKeepsOldFileAndReportsIt) {
  testing::TempDir data;
  const auto old_file = fileWithListSize(1);
  testing::writeBytes(data.file("dTunora.dat"), old_file);
  Settings fresh;
  fresh.set(kListSize, 9);
  // A file-size limit makes writes past 3000 bytes fail the way a full disk does.
  const int exit_code = inChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{3000, 3000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const Status status = saveSettings(fresh, data.folder(), {});
    return status.code() == Status::Code::kNoSpace ? 7 : 1;
  });
  EXPECT_EQ(exit_code, 7);
  EXPECT_EQ(testing::readBytes(data.file("dTunora.dat")), old_file);
  EXPECT_EQ(leftoverTempFiles(data.folder()), 0u);
}

}  // namespace
}  // namespace tunora

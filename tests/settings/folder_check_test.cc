// The data folder's write check against folders that take a file and folders that do not.
#include "settings/folder_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

TEST(FolderCheckTest, AFolderThatTakesAFileIsWritableAndKeepsNothingOfTheCheck) {
  testing::TempDir dir;
  EXPECT_TRUE(checkFolderWritable(dir.path().string()).ok());
  EXPECT_TRUE(checkFolderWritable(dir.path().string() + "/").ok());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(FolderCheckTest, FoldersThatTakeNoFileAreNotWritable) {
  testing::TempDir dir;
  // Gone (a moved data folder), and a file system that takes no files whoever asks.
  for (const std::string& folder : {dir.file("moved"), std::string("/proc")}) {
    const Status s = checkFolderWritable(folder);
    EXPECT_FALSE(s.ok()) << folder;
    EXPECT_NE(s.message().find(folder), std::string::npos) << s.message();
  }
  if (::geteuid() != 0) {  // root writes in spite of the mode
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(checkFolderWritable(dir.path().string()).ok());
    ::chmod(dir.path().c_str(), 0755);
  }
}

}  // namespace
}  // namespace tunora

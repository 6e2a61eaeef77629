// Whole writes and reads: a write the file system cuts short is reported, never taken as done.
#include "util/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

TEST(FileIoTest, AShortWriteFailsAndEveryWholeTransferSucceeds) {
  testing::TempDir dir;
  const std::string path = dir.file("f");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  std::vector<char> bytes(100, 'x');
  // In a child whose files may not grow past 40 bytes: a write across the limit is cut short and
  // the next one fails with EFBIG. The exit code names the first step that went wrong.
  EXPECT_EQ(testing::childExit(
                [&] {
                  errno = 0;
                  if (writeAll(fd, bytes.data(), bytes.size()) || errno != EFBIG) return 1;
                  if (writeAll(fd, bytes.data(), bytes.size(), 0)) return 2;  // pwrite across
                  return writeAll(fd, bytes.data(), 40, 0) ? 0 : 3;           // pwrite within
                },
                40),
            0);
  ASSERT_TRUE(writeAll(fd, bytes.data(), bytes.size(), 0));
  std::vector<char> back(120);
  EXPECT_EQ(readUpToAt(fd, back.data(), back.size(), 0), 100) << "read past the end";
  EXPECT_TRUE(readAll(fd, back.data(), 60, 40)) << "read up to the end";
  EXPECT_FALSE(readAll(fd, back.data(), 61, 40)) << "read one past the end";
  EXPECT_EQ(readUpToAt(-1, back.data(), 1, 0), -1) << "bad descriptor";
  ::close(fd);
}

}  // namespace
}  // namespace tunora

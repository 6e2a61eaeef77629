// Whole writes and reads: a write the file system cuts short is reported, never taken as done.
#include "util/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

// Files may not grow past `limit` bytes while this lives: a write across the limit is cut short
// and the next one fails with EFBIG.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    old_signal_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit cut = old_;
    cut.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &cut);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_signal_);
  }

 private:
  rlimit old_{};
  sighandler_t old_signal_;
};

TEST(FileIoTest, AShortWriteFailsAndEveryWholeTransferSucceeds) {
  testing::TempDir dir;
  const std::string path = dir.file("f");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  std::vector<char> bytes(100, 'x');
  {
    FileSizeLimit limit(40);
    errno = 0;
    EXPECT_FALSE(writeAll(fd, bytes.data(), bytes.size())) << "write across the limit";
    EXPECT_EQ(errno, EFBIG);
    EXPECT_FALSE(writeAll(fd, bytes.data(), bytes.size(), 0)) << "pwrite across the limit";
    EXPECT_TRUE(writeAll(fd, bytes.data(), 40, 0)) << "pwrite within the limit";
  }
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

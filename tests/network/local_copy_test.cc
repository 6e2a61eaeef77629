// Network mode's local copy: timed refreshes, the verified copy, the network lock between two
// processes and the offline states.
#include <fcntl.h>
#include <unistd.h>

#include "network/network_commands.h"
#include "tests/network/network_fixture.h"

namespace tunora::testing {
namespace {

using network::changeCounter;

TEST_F(NetworkTest, FiftyReadOpensUseTheCopyAndTheFiftyFirstRefreshes) {
  ASSERT_EQ(playCountRead(1), 0u);  // counter 200: refreshed
  EXPECT_EQ(changeCounter(context_), 0);
  EXPECT_EQ(testing::readBytes(context_.local_copy_path), testing::readBytes(share_));
  editShare(1, 7);
  for (int i = 1; i <= 50; ++i) {
    ASSERT_EQ(playCountRead(1), 0u) << "read-open " << i;
    EXPECT_EQ(changeCounter(context_), i);
  }
  EXPECT_EQ(playCountRead(1), 7u);
  EXPECT_EQ(changeCounter(context_), 0);
  // The numbered backup is named by the live count of the previous read-open.
  EXPECT_TRUE(std::filesystem::exists(context_.local_copy_path + ".31"));
  EXPECT_EQ(words_.build_request.load(), 0);
}

TEST_F(NetworkTest, EmptyShareFileIsNeverCopiedOverTheLocalCopy) {
  ASSERT_EQ(playCountRead(1), 0u);
  const auto local = readBytes(context_.local_copy_path);
  writeBytes(share_, {});
  network::refreshNetworkCache(context_);
  EXPECT_EQ(playCountRead(1), 0u);  // read from the local copy
  EXPECT_EQ(readBytes(context_.local_copy_path), local);
  EXPECT_EQ(words_.build_request.load(), engine::kOfflineStart);
  EXPECT_TRUE(dialogs_.requests().empty());  // the refresh direction asks nothing

  // The write-back direction asks, and "Replace with local" copies the share's file over it.
  writeBytes(context_.local_copy_path, {});
  network::CopyTraffic traffic;
  network::CopyContext context{copier_, dialogs_, true, traffic, {}, nullptr};
  dialogs_.script({ui::kFirstButton});
  EXPECT_FALSE(network::copyVerified(context_.local_copy_path, dir_.file("other.mbf"),
                                     network::kWriteBackMode, context));
  ASSERT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(dialogs_.messages()[0], network::kDamagedNetworkText);
}

// Every copy onto the local copy comes out one byte short.
class ShortCopier final : public network::FileCopier {
 public:
  explicit ShortCopier(std::string source) : source_(std::move(source)) {}
  bool copyFile(const std::string& from, const std::string& to, network::CopyTraffic& traffic,
                network::BlockHashes* hashes) override {
    if (!FileCopier::copyFile(from, to, traffic, hashes)) return false;
    if (from == source_) {
      ++short_copies;
      auto bytes = readBytes(to);
      bytes.pop_back();
      writeBytes(to, bytes);
    }
    return true;
  }
  int short_copies = 0;

 private:
  std::string source_;
};

TEST_F(NetworkTest, ThreeShortCopiesRestoreTheBackupAndGoOffline) {
  ASSERT_EQ(playCountRead(1), 0u);
  const auto local = readBytes(context_.local_copy_path);
  editShare(1, 9);
  ShortCopier copier(share_);
  network::LocalCopyLibrary library(table_, settings_, context_, words_, dialogs_, copier);
  network::refreshNetworkCache(context_);
  library.openLibraryForReading();
  ASSERT_TRUE(table_.isOpen());
  EXPECT_EQ(table_.readInt(1, kColPlayCount), 0u);
  table_.close();
  EXPECT_EQ(copier.short_copies, 3);
  EXPECT_EQ(readBytes(context_.local_copy_path), local);
  EXPECT_EQ(words_.build_request.load(), engine::kOfflineStart);
}

TEST_F(NetworkTest, SizeQuestionDecidesTheRefresh) {
  settings_.set(settings::kSizeCheck, 1);
  writeBytes(context_.local_copy_path, {1, 2, 3});
  dialogs_.script({ui::kSecondButton});  // "Use the Local database"
  (void)playCountRead(1);
  ASSERT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(dialogs_.messages()[0], network::kSizeDiffersText);
  EXPECT_EQ(readBytes(context_.local_copy_path), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(words_.build_request.load(), engine::kOfflineStart);
  // The 3-byte copy is no table: the read fell back to the share's file, without an error.
  EXPECT_EQ(dialogs_.messages().size(), 1u);  // no error after the question

  words_.build_request.store(0);
  network::refreshNetworkCache(context_);
  EXPECT_EQ(playCountRead(1), 0u);  // first answer: the copy goes ahead
  EXPECT_EQ(readBytes(context_.local_copy_path), readBytes(share_));
}

TEST_F(NetworkTest, UnreachableShareGoesOfflineAndBothMissingIsReported) {
  ASSERT_EQ(playCountRead(1), 0u);
  std::filesystem::rename(share_dir_, dir_.path() / "gone");
  network::refreshNetworkCache(context_);
  EXPECT_EQ(playCountRead(1), 0u);
  EXPECT_EQ(words_.build_request.load(), engine::kOfflineStart);
  EXPECT_FALSE(library_.openLibraryForWriting());

  std::filesystem::remove(context_.local_copy_path);
  library_.openLibraryForReading();
  EXPECT_FALSE(table_.isOpen());
  ASSERT_FALSE(dialogs_.requests().empty());
  EXPECT_EQ(dialogs_.requests().back().message, network::kCannotOpenBothText);
  EXPECT_EQ(dialogs_.requests().back().second_button, ui::kViewReadMeButton);
}

// Whether another open of `path` is refused the exclusive lock (as another computer would be).
bool lockedElsewhere(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  const bool refused = fcntl(fd, F_OFD_SETLK, &lock) != 0;
  close(fd);
  return refused;
}

// Notes, at every write onto the share's file, whether the network lock is held meanwhile.
class LockProbingCopier final : public network::FileCopier {
 public:
  explicit LockProbingCopier(std::string share) : share_(std::move(share)) {}
  bool copyFile(const std::string& from, const std::string& to, network::CopyTraffic& traffic,
                network::BlockHashes* hashes) override {
    if (to == share_) locked.push_back(lockedElsewhere(share_));
    return FileCopier::copyFile(from, to, traffic, hashes);
  }
  bool writeChangedBlocks(const std::string& from, const std::string& to,
                          network::BlockHashes& hashes, network::CopyTraffic& traffic) override {
    if (to == share_) locked.push_back(lockedElsewhere(share_));
    return FileCopier::writeChangedBlocks(from, to, hashes, traffic);
  }
  std::vector<bool> locked;

 private:
  std::string share_;
};

// The network lock is held from a write-open through the write-back (whole copy or changed
// blocks) and keeps another computer out meanwhile: its write-open fails and it goes offline.
TEST_F(NetworkTest, TheNetworkLockCoversTheWriteBackAndKeepsAnotherComputerOut) {
  LockProbingCopier copier(share_);
  network::LocalCopyLibrary library(table_, settings_, context_, words_, dialogs_, copier);
  for (bool quick : {false, true}) {
    SCOPED_TRACE(quick ? "quick paths" : "whole copies");
    library.setQuickPaths(quick);
    copier.locked.clear();
    ASSERT_TRUE(library.openLibraryForWriting());
    EXPECT_TRUE(library.holdsNetworkLock());
    Computer other(share_, dir_.file("OtherLocal.mbf"));
    EXPECT_FALSE(other.library.openLibraryForWriting());
    EXPECT_EQ(other.words.build_request.load(), engine::kOfflineStart);
    ASSERT_TRUE(table_.writeInt(2, kColPlayCount, quick ? 6 : 5));
    library.closeLibraryAfterWriting();
    EXPECT_FALSE(library.holdsNetworkLock());
    EXPECT_EQ(copier.locked, std::vector<bool>{true});
    EXPECT_FALSE(lockedElsewhere(share_)) << "released after the write-back";
    EXPECT_EQ(readBytes(share_), readBytes(context_.local_copy_path));
  }
}

}  // namespace
}  // namespace tunora::testing

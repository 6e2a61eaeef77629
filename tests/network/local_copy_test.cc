// Network mode's local copy: timed refreshes, the verified copy, the network lock between two
// processes and the offline states; the skipped refresh and the block write-back against whole
// copies both ways; and the library opening with "Network" off, and the seam that Network mode
// uses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "engine/shared_words.h"
#include "library/song_columns.h"
#include "marlbase/table_handle.h"
#include "network/library_opening.h"
#include "network/local_copy_library.h"
#include "network/network_commands.h"
#include "network/network_context.h"
#include "settings/settings.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/song_library.h"

namespace tunora::testing {
namespace {

using network::changeCounter;

// One computer in network mode: its settings naming the share's file, its local copy at `local`,
// and the library opening over them.
struct Computer {
  Computer(std::string share_path, const std::string& local, bool quick = false)
      : share(std::move(share_path)) {
    settings.setText(settings::kDatabasePath, share);
    context.local_copy_path = local;
    context.network_refresh_counter = network::kStartUpCounter;
    library.setQuickPaths(quick);
  }
  std::string share;
  Settings settings;
  network::NetworkContext context;
  engine::SharedWords words;
  ScriptedMessageDialog dialogs;
  network::FileCopier copier;
  marlbase::TableHandle table;
  network::LocalCopyLibrary library{table, settings, context, words, dialogs, copier};
};

// The share holds a song table of 30 songs (slot i has FileId 100 + i); this computer's local
// copy is beside the share's folder.
class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(share_dir_);
    ASSERT_TRUE(makeLibrary(share_, numberedSongs(30)));
  }
  // Writes one field straight into the share's file, as another computer would.
  void editShare(int32_t slot, uint32_t value) {
    marlbase::TableHandle t;
    t.setPath(share_);
    t.setWritable(true);
    ASSERT_TRUE(t.open().ok());
    ASSERT_TRUE(t.writeInt(slot, kColPlayCount, value));
    t.close();
  }
  std::optional<uint32_t> playCountRead(int32_t slot) {
    library_.openLibraryForReading();
    if (!table_.isOpen()) return std::nullopt;
    auto v = table_.readInt(slot, kColPlayCount);
    table_.close();
    return v;
  }

  TempDir dir_;
  std::filesystem::path share_dir_ = dir_.path() / "share";
  std::string share_ = (share_dir_ / "Tunora.mbf").string();
  Computer me_{share_, dir_.file("Local.mbf")};
  Settings& settings_ = me_.settings;
  network::NetworkContext& context_ = me_.context;
  engine::SharedWords& words_ = me_.words;
  ScriptedMessageDialog& dialogs_ = me_.dialogs;
  network::FileCopier& copier_ = me_.copier;
  marlbase::TableHandle& table_ = me_.table;
  network::LocalCopyLibrary& library_ = me_.library;
};

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

TEST_F(NetworkTest, QuickPathsGiveTheSharesFileThePlainAlgorithmsBytes) {
  for (const char* name : {"quick.mbf", "plain.mbf"})
    writeBytes(dir_.file(name), readBytes(share_));
  Computer quick(dir_.file("quick.mbf"), dir_.file("quick-local.mbf"), true);
  Computer plain(dir_.file("plain.mbf"), dir_.file("plain-local.mbf"));
  std::mt19937 rng(7);
  for (int step = 0; step < 120; ++step) {
    const uint32_t op = rng() % 6;
    const uint32_t a = rng(), b = rng();
    for (Computer* w : {&quick, &plain}) {
      marlbase::TableHandle& t = w->table;
      switch (op) {
        case 0:
        case 1: {  // an edit of a few fields
          ASSERT_TRUE(w->library.openLibraryForWriting());
          const int32_t live = t.liveCount();
          for (uint32_t k = 0; k < 1 + b % 4; ++k) {
            const int32_t slot = t.nthLive(1 + static_cast<int32_t>((a + k * 7919) % live));
            ASSERT_TRUE(t.writeInt(slot, kColPlayCount, b + k));
          }
          w->library.closeLibraryAfterWriting();
          break;
        }
        case 2: {  // new records, which grow the file now and then
          ASSERT_TRUE(w->library.openLibraryForWriting());
          for (uint32_t k = 0; k < 1 + a % 40; ++k) {
            const int32_t slot = t.allocate();
            ASSERT_GE(slot, 0);
            ASSERT_TRUE(t.writeText(slot, kColFileName, "/m/" + std::to_string(b + k)));
          }
          w->library.closeLibraryAfterWriting();
          break;
        }
        case 3: {  // a deletion
          ASSERT_TRUE(w->library.openLibraryForWriting());
          if (t.liveCount() > 5) (void)t.setStatus(t.nthLive(2 + static_cast<int32_t>(a % 3)), 5);
          w->library.closeLibraryAfterWriting();
          break;
        }
        case 4: {  // another computer edits the share's file
          marlbase::TableHandle other;
          other.setPath(w->share);
          other.setWritable(true);
          ASSERT_TRUE(other.open().ok());
          ASSERT_TRUE(other.writeText(other.nthLive(1), kColNote, std::to_string(a)));
          other.close();
          break;
        }
        default:  // reads, now and then with a refresh
          if (b % 2 == 0) network::setChangeCounter(w->context, network::kStaleCounter);
          w->library.openLibraryForReading();
          t.close();
      }
    }
    ASSERT_EQ(readBytes(quick.share), readBytes(plain.share)) << "step " << step << " op " << op;
    ASSERT_EQ(readBytes(quick.context.local_copy_path), readBytes(plain.context.local_copy_path))
        << "step " << step;
  }
  EXPECT_EQ(quick.words.build_request.load(), 0);
  EXPECT_LT(quick.library.shareTraffic().written, plain.library.shareTraffic().written / 2);
  EXPECT_LT(quick.library.shareTraffic().read, plain.library.shareTraffic().read / 3);
}

class CountingNetwork final : public network::NetworkLibrary {
 public:
  void openLibraryForReading() override { ++reads; }
  bool openLibraryForWriting() override { return ++writes > 0; }
  void closeLibraryAfterWriting() override { ++closes; }
  int reads = 0, writes = 0, closes = 0;
};

// With "Network" off the opens go to the database path, for reading or for writing (no other
// opener gets in then); a missing library leaves the handle closed. With it on, every open goes
// through the network library.
TEST_F(NetworkTest, LibraryOpeningUsesTheDatabasePathOrTheNetworkSeam) {
  network::LibraryOpening library(table_, settings_);
  CountingNetwork network;
  library.setNetworkLibrary(&network);
  library.openLibraryForReading();
  ASSERT_TRUE(table_.isOpen());
  EXPECT_FALSE(table_.writable());
  table_.close();
  ASSERT_TRUE(library.openLibraryForWriting());
  EXPECT_TRUE(table_.writable());
  marlbase::TableHandle other;
  other.setPath(share_);
  EXPECT_FALSE(other.open().ok());
  library.closeLibraryAfterWriting();
  EXPECT_FALSE(table_.isOpen());
  EXPECT_TRUE(other.open().ok());
  EXPECT_EQ(network.reads + network.writes + network.closes, 0);

  settings_.set(settings::kNetwork, 1);
  library.openLibraryForReading();
  EXPECT_TRUE(library.openLibraryForWriting());
  library.closeLibraryAfterWriting();
  EXPECT_EQ(network.reads, 1);
  EXPECT_EQ(network.writes, 1);
  EXPECT_EQ(network.closes, 1);
  EXPECT_FALSE(table_.isOpen());

  settings_.set(settings::kNetwork, 0);
  settings_.setText(settings::kDatabasePath, dir_.file("missing.mbf"));
  library.openLibraryForReading();
  EXPECT_FALSE(table_.isOpen());
  EXPECT_FALSE(library.openLibraryForWriting());
  EXPECT_FALSE(table_.isOpen());
}

}  // namespace
}  // namespace tunora::testing

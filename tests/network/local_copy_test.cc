// Network mode's local copy: timed refreshes, the verified copy, the network lock between two
// processes and the offline states; the skipped refresh and the block write-back against whole
// copies both ways; and the library opening with "Network" off, and the seam that Network mode
// uses. Buffering to the local drive: slot reuse with 150 slots and 200 songs, removal of the
// buffer, refused paths, and the checksum pass filling missing FileIds through the update queue.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "engine/shared_words.h"
#include "library/file_checksum.h"
#include "library/song_columns.h"
#include "marlbase/table_handle.h"
#include "network/buffer_paths.h"
#include "network/buffering.h"
#include "network/checksum_pass.h"
#include "network/library_opening.h"
#include "network/local_copy_library.h"
#include "network/network_commands.h"
#include "network/network_context.h"
#include "network/network_hooks.h"
#include "settings/settings.h"
#include "tests/engine/program_test.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/song_library.h"

namespace tunora::testing {
namespace {

namespace fs = std::filesystem;
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
    fs::create_directories(share_dir_);
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
    me_.library.openLibraryForReading();
    if (!me_.table.isOpen()) return std::nullopt;
    auto v = me_.table.readInt(slot, kColPlayCount);
    me_.table.close();
    return v;
  }

  TempDir dir_;
  fs::path share_dir_ = dir_.path() / "share";
  std::string share_ = (share_dir_ / "Tunora.mbf").string();
  Computer me_{share_, dir_.file("Local.mbf")};
};

TEST_F(NetworkTest, FiftyReadOpensUseTheCopyAndTheFiftyFirstRefreshes) {
  ASSERT_EQ(playCountRead(1), 0u);  // counter 200: refreshed
  EXPECT_EQ(changeCounter(me_.context), 0);
  EXPECT_EQ(testing::readBytes(me_.context.local_copy_path), testing::readBytes(share_));
  editShare(1, 7);
  for (int i = 1; i <= 50; ++i) {
    ASSERT_EQ(playCountRead(1), 0u) << "read-open " << i;
    EXPECT_EQ(changeCounter(me_.context), i);
  }
  EXPECT_EQ(playCountRead(1), 7u);
  EXPECT_EQ(changeCounter(me_.context), 0);
  // The numbered backup is named by the live count of the previous read-open.
  EXPECT_TRUE(fs::exists(me_.context.local_copy_path + ".31"));
  EXPECT_EQ(me_.words.build_request.load(), 0);
}

TEST_F(NetworkTest, EmptyShareFileIsNeverCopiedOverTheLocalCopy) {
  ASSERT_EQ(playCountRead(1), 0u);
  const auto local = readBytes(me_.context.local_copy_path);
  writeBytes(share_, {});
  network::refreshNetworkCache(me_.context);
  EXPECT_EQ(playCountRead(1), 0u);  // read from the local copy
  EXPECT_EQ(readBytes(me_.context.local_copy_path), local);
  EXPECT_EQ(me_.words.build_request.load(), engine::kOfflineStart);
  EXPECT_TRUE(me_.dialogs.requests().empty());  // the refresh direction asks nothing

  // The write-back direction asks, and "Replace with local" copies the share's file over it.
  writeBytes(me_.context.local_copy_path, {});
  network::CopyTraffic traffic;
  network::CopyContext context{me_.copier, me_.dialogs, true, traffic, {}, nullptr};
  me_.dialogs.script({ui::kFirstButton});
  EXPECT_FALSE(network::copyVerified(me_.context.local_copy_path, dir_.file("other.mbf"),
                                     network::kWriteBackMode, context));
  ASSERT_EQ(me_.dialogs.messages().size(), 1u);
  EXPECT_EQ(me_.dialogs.messages()[0], network::kDamagedNetworkText);
}

// Every copy onto the local copy comes out one byte short.
struct ShortCopier final : network::FileCopier {
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

  std::string source_;
};

TEST_F(NetworkTest, ThreeShortCopiesRestoreTheBackupAndGoOffline) {
  ASSERT_EQ(playCountRead(1), 0u);
  const auto local = readBytes(me_.context.local_copy_path);
  editShare(1, 9);
  ShortCopier copier(share_);
  network::LocalCopyLibrary library(me_.table, me_.settings, me_.context, me_.words, me_.dialogs,
                                    copier);
  network::refreshNetworkCache(me_.context);
  library.openLibraryForReading();
  ASSERT_TRUE(me_.table.isOpen());
  EXPECT_EQ(me_.table.readInt(1, kColPlayCount), 0u);
  me_.table.close();
  EXPECT_EQ(copier.short_copies, 3);
  EXPECT_EQ(readBytes(me_.context.local_copy_path), local);
  EXPECT_EQ(me_.words.build_request.load(), engine::kOfflineStart);
}

TEST_F(NetworkTest, SizeQuestionDecidesTheRefresh) {
  me_.settings.set(settings::kSizeCheck, 1);
  writeBytes(me_.context.local_copy_path, {1, 2, 3});
  me_.dialogs.script({ui::kSecondButton});  // "Use the Local database"
  (void)playCountRead(1);
  ASSERT_EQ(me_.dialogs.messages().size(), 1u);
  EXPECT_EQ(me_.dialogs.messages()[0], network::kSizeDiffersText);
  EXPECT_EQ(readBytes(me_.context.local_copy_path), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(me_.words.build_request.load(), engine::kOfflineStart);
  // The 3-byte copy is no table: the read fell back to the share's file, without an error.
  EXPECT_EQ(me_.dialogs.messages().size(), 1u);  // no error after the question

  me_.words.build_request.store(0);
  network::refreshNetworkCache(me_.context);
  EXPECT_EQ(playCountRead(1), 0u);  // first answer: the copy goes ahead
  EXPECT_EQ(readBytes(me_.context.local_copy_path), readBytes(share_));
}

TEST_F(NetworkTest, UnreachableShareGoesOfflineAndBothMissingIsReported) {
  ASSERT_EQ(playCountRead(1), 0u);
  fs::rename(share_dir_, dir_.path() / "gone");
  network::refreshNetworkCache(me_.context);
  EXPECT_EQ(playCountRead(1), 0u);
  EXPECT_EQ(me_.words.build_request.load(), engine::kOfflineStart);
  EXPECT_FALSE(me_.library.openLibraryForWriting());

  fs::remove(me_.context.local_copy_path);
  me_.library.openLibraryForReading();
  EXPECT_FALSE(me_.table.isOpen());
  ASSERT_FALSE(me_.dialogs.requests().empty());
  EXPECT_EQ(me_.dialogs.requests().back().message, network::kCannotOpenBothText);
  EXPECT_EQ(me_.dialogs.requests().back().second_button, ui::kViewReadMeButton);
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
struct LockProbingCopier final : network::FileCopier {
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

  std::string share_;
};

// The network lock is held from a write-open through the write-back (whole copy or changed
// blocks) and keeps another computer out meanwhile: its write-open fails and it goes offline.
TEST_F(NetworkTest, TheNetworkLockCoversTheWriteBackAndKeepsAnotherComputerOut) {
  LockProbingCopier copier(share_);
  network::LocalCopyLibrary library(me_.table, me_.settings, me_.context, me_.words, me_.dialogs,
                                    copier);
  for (bool quick : {false, true}) {
    SCOPED_TRACE(quick ? "quick paths" : "whole copies");
    library.setQuickPaths(quick);
    copier.locked.clear();
    ASSERT_TRUE(library.openLibraryForWriting());
    EXPECT_TRUE(library.holdsNetworkLock());
    Computer other(share_, dir_.file("OtherLocal.mbf"));
    EXPECT_FALSE(other.library.openLibraryForWriting());
    EXPECT_EQ(other.words.build_request.load(), engine::kOfflineStart);
    ASSERT_TRUE(me_.table.writeInt(2, kColPlayCount, quick ? 6 : 5));
    library.closeLibraryAfterWriting();
    EXPECT_FALSE(library.holdsNetworkLock());
    EXPECT_EQ(copier.locked, std::vector<bool>{true});
    EXPECT_FALSE(lockedElsewhere(share_)) << "released after the write-back";
    EXPECT_EQ(readBytes(share_), readBytes(me_.context.local_copy_path));
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

struct CountingNetwork final : network::NetworkLibrary {
  void openLibraryForReading() override { ++reads; }
  bool openLibraryForWriting() override { return ++writes > 0; }
  void closeLibraryAfterWriting() override { ++closes; }
  int reads = 0, writes = 0, closes = 0;
};

// With "Network" off the opens go to the database path, for reading or for writing (no other
// opener gets in then); a missing library leaves the handle closed. With it on, every open goes
// through the network library.
TEST_F(NetworkTest, LibraryOpeningUsesTheDatabasePathOrTheNetworkSeam) {
  network::LibraryOpening library(me_.table, me_.settings);
  CountingNetwork network;
  library.setNetworkLibrary(&network);
  library.openLibraryForReading();
  ASSERT_TRUE(me_.table.isOpen());
  EXPECT_FALSE(me_.table.writable());
  me_.table.close();
  ASSERT_TRUE(library.openLibraryForWriting());
  EXPECT_TRUE(me_.table.writable());
  marlbase::TableHandle other;
  other.setPath(share_);
  EXPECT_FALSE(other.open().ok());
  library.closeLibraryAfterWriting();
  EXPECT_FALSE(me_.table.isOpen());
  EXPECT_TRUE(other.open().ok());
  EXPECT_EQ(network.reads + network.writes + network.closes, 0);

  me_.settings.set(settings::kNetwork, 1);
  library.openLibraryForReading();
  EXPECT_TRUE(library.openLibraryForWriting());
  library.closeLibraryAfterWriting();
  EXPECT_EQ(network.reads, 1);
  EXPECT_EQ(network.writes, 1);
  EXPECT_EQ(network.closes, 1);
  EXPECT_FALSE(me_.table.isOpen());

  me_.settings.set(settings::kNetwork, 0);
  me_.settings.setText(settings::kDatabasePath, dir_.file("missing.mbf"));
  library.openLibraryForReading();
  EXPECT_FALSE(me_.table.isOpen());
  EXPECT_FALSE(library.openLibraryForWriting());
  EXPECT_FALSE(me_.table.isOpen());
}

int filesUnder(const fs::path& dir) {
  int n = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

class BufferingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.set(settings::kNetwork, 1);
    settings_.set(settings::kBuffer, 1);
    settings_.set(settings::kBufferSize, 150);
    fs::create_directories(dir_.path() / "share" / "music");
  }
  std::string song(int i) {
    const std::string path =
        (dir_.path() / "share" / "music" / ("s" + std::to_string(i) + ".mp3")).string();
    std::ofstream(path) << "song " << i;
    return path;
  }
  void fillPlayList(int count) {
    for (int i = 0; i < count; ++i) play_list_.append({"t", "a", "b", song(i), "MP3"});
  }
  void setUpAndWait() {
    buffering_.setUpBuffer();
    threads_.closeAndJoin();  // the pass started by setUpBuffer never sleeps
  }

  TempDir dir_;
  Settings settings_;
  engine::SharedWords words_;
  engine::PlayList play_list_;
  engine::StatusMessage status_;
  FakeEnv env_;
  engine::ThreadSet threads_{env_};
  network::FileCopier copier_;
  std::string folder_ = (dir_.path() / "cache" / "Pellan" / "Tunora").string() + "/";
  network::Buffering buffering_{folder_, settings_, words_,   play_list_,
                                status_, env_,      threads_, copier_};
};

TEST_F(BufferingTest, TwoHundredSongsFillAtMostTheHundredFiftySlots) {
  fillPlayList(200);
  setUpAndWait();
  EXPECT_EQ(buffering_.state(), network::kPartiallyBuffered);
  EXPECT_EQ(buffering_.level(), 100);
  EXPECT_EQ(filesUnder(buffering_.mediaFolder()), 150);
  // The first song's copy sits at the media folder + its path without the leading "/".
  const std::string first = play_list_.row(0).value()[engine::kFileNameColumn];
  EXPECT_EQ(readBytes(buffering_.localBufferPath(first)), readBytes(first));
  EXPECT_EQ(network::chooseFileToPlay(buffering_, first), buffering_.localBufferPath(first));
  EXPECT_EQ(network::fallBackToNetwork(buffering_, words_, first), first);
  EXPECT_EQ(buffering_.state(), network::kUnbuffered);

  // A song already buffered is not copied again; the table remembers it across set-ups.
  fs::remove(first);
  buffering_.setState(network::kBuffered);
  buffering_.bufferPass();
  EXPECT_EQ(filesUnder(buffering_.mediaFolder()), 150);
  EXPECT_TRUE(fs::exists(buffering_.localBufferPath(first)));
}

TEST_F(BufferingTest, SwitchingBufferOffDeletesExactlyTheRecordedCopies) {
  fillPlayList(50);
  settings_.set(settings::kBufferSize, 10);  // raised to 50
  setUpAndWait();
  EXPECT_EQ(settings_.get(settings::kBufferSize), 50);
  EXPECT_EQ(buffering_.state(), network::kBuffered) << "a list that just fits is all buffered";
  EXPECT_EQ(filesUnder(buffering_.mediaFolder()), 50);
  const std::string stranger = buffering_.mediaFolder() + "mine.txt";
  std::ofstream(stranger) << "keep";

  settings_.set(settings::kBuffer, 0);
  buffering_.setUpBuffer();
  EXPECT_EQ(buffering_.state(), network::kBufferOff);
  EXPECT_EQ(filesUnder(buffering_.mediaFolder()), 1);
  EXPECT_TRUE(fs::exists(stranger));
  EXPECT_FALSE(fs::exists(buffering_.tablePath()));
  for (int i = 0; i < 50; ++i) EXPECT_TRUE(fs::exists(song(i)));  // the network files stay
}

TEST(BufferPaths, PathsThatLeaveTheMediaFolderAreRefused) {
  TempDir dir;
  const std::string media = dir.file("Media") + "/";
  fs::create_directories(media);
  auto environment = [](std::optional<std::string> cache) {
    return [=](const std::string& name) { return name == "HOME" ? "/home/u" : cache; };
  };
  EXPECT_EQ(network::bufferFolder(environment("/x/cache")), "/x/cache/Pellan/Tunora/");
  EXPECT_EQ(network::bufferFolder(environment(std::nullopt)), "/home/u/.cache/Pellan/Tunora/");
  EXPECT_EQ(network::localBufferPath(media, "/srv/share/a.mp3"), media + "srv/share/a.mp3");
  EXPECT_EQ(network::safeLocalBufferPath(media, "/srv/../../x.mp3"), "");
  EXPECT_EQ(network::safeLocalBufferPath(media, "/srv/./x.mp3"), "");
  fs::create_directories(dir.path() / "outside");
  const std::string victim = (dir.path() / "outside" / "x.mp3").string();
  std::ofstream(victim) << "x";
  fs::create_directory_symlink(dir.path() / "outside", media + "link");
  EXPECT_EQ(network::safeLocalBufferPath(media, "/link/x.mp3"), "");
  EXPECT_FALSE(network::deleteLocalCopy(media, "/link/x.mp3"));
  EXPECT_TRUE(fs::exists(victim));
}

// `count` songs in slots 1..count, song i at songFile(i) (written when `files`) with FileId
// id(i); songs 1..listed on the play list. The pass runs with the supervisor started.
class ChecksumPassTest : public ProgramTest {
 protected:
  std::string songFile(int i) { return dir_.file("song" + std::to_string(i) + ".mp3"); }
  void makeSongs(int count, int listed, bool files, uint32_t (*id)(int)) {
    std::vector<LibrarySong> songs;
    for (int i = 1; i <= count; ++i) {
      if (files) std::ofstream(songFile(i)) << "content of song " << i;
      songs.push_back({.path = songFile(i), .file_id = id(i)});
      if (i <= listed) program_.playList().append({"t", "a", "b", songFile(i), "MP3"});
    }
    ASSERT_TRUE(writeLibrary(path_, songs));
    ASSERT_TRUE(program_.startSupervisor());
  }
  template <typename Body>
  void runClocked(Body body) {
    ClockDriver clock(env_);
    runCounted(env_, body);
  }
  engine::SeededRandomSource random_{3};
  Program& p_ = program_;
  network::ChecksumPass pass_{p_.lock(),    p_.library(),  p_.settings(),
                              p_.context(), p_.playList(), p_.updateWriter(),
                              random_,      p_.threads(),  p_.status()};
};

TEST_F(ChecksumPassTest, MissingFileIdsAreFilledThroughTheUpdateQueue) {
  // Twelve songs with real files; slots 1, 4, 7 and 10 have no FileId yet.
  auto id = [](int i) { return i % 3 == 1 ? 0u : 500u + static_cast<uint32_t>(i); };
  makeSongs(12, 12, true, id);
  runClocked([&] { pass_.run(); });
  EXPECT_EQ(program_.updateQueue().length(), 4);
  // In play-list order: each computed one lowers it to 0, the two met after it raise it to 2;
  // then the random phase checks one song (one with its FileId): 3.
  EXPECT_EQ(program_.settings().get(settings::kHashStat), 3);
  EXPECT_EQ(network::changeCounter(program_.context()), network::kStaleCounter);
  runClocked([&] { program_.updateWriter().runUpdateWriter(); });
  for (int i = 1; i <= 12; ++i) {
    const uint32_t want = id(i) == 0 ? fileChecksum(songFile(i)) : id(i);
    EXPECT_EQ(storedNumber(path_, i, kColFileId), want) << "slot " << i;
  }
}

TEST_F(ChecksumPassTest, RandomPhaseChecksASongBeforeItTestsWhetherToGoOn) {
  // Twenty-four songs (no files), every one with a FileId, twenty of them on the play list.
  makeSongs(24, 20, false, [](int i) { return 500u + static_cast<uint32_t>(i); });
  auto runPass = [&](int32_t hash_stat) {
    program_.settings().set(settings::kHashStat, hash_stat);
    runClocked([&] { pass_.run(); });
    return program_.settings().get(settings::kHashStat);
  };
  // Between 501 and 999 each pass checks one song and ends: the statistic climbs to 1000, where
  // the verification phase takes over.
  EXPECT_EQ(runPass(600), 601);
  EXPECT_EQ(runPass(999), 1000);
  // Between 50 and 500 it goes on until the statistic leaves the range.
  EXPECT_EQ(runPass(480), 501);
  EXPECT_EQ(program_.updateQueue().length(), -1);  // nothing computed: every song had its id
}

}  // namespace
}  // namespace tunora::testing

// Buffering to the local drive: slot reuse with 150 slots and 200 songs, removal of the buffer,
// refused paths, and the checksum pass filling missing FileIds through the update queue.
#include "network/buffering.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/lock_codes.h"
#include "library/file_checksum.h"
#include "network/buffer_paths.h"
#include "network/checksum_pass.h"
#include "network/local_copy_library.h"
#include "network/network_commands.h"
#include "network/network_hooks.h"
#include "tests/engine/program_test.h"

namespace tunora::testing {
namespace {

namespace fs = std::filesystem;

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

TEST_F(BufferingTest, ANewListTakesTheOldestSlotsAndDeletesTheirCopies) {
  settings_.set(settings::kBufferSize, 50);
  fillPlayList(60);
  setUpAndWait();
  ASSERT_EQ(filesUnder(buffering_.mediaFolder()), 50);
  (void)play_list_.removeFirst(60);
  for (int i = 100; i < 110; ++i) play_list_.append({"t", "a", "b", song(i), "MP3"});
  buffering_.bufferPass();
  EXPECT_EQ(filesUnder(buffering_.mediaFolder()), 50);
  for (int i = 100; i < 110; ++i) EXPECT_TRUE(fs::exists(buffering_.localBufferPath(song(i)))) << i;
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

class ChecksumPassTest : public ProgramTest {};

TEST_F(ChecksumPassTest, MissingFileIdsAreFilledThroughTheUpdateQueue) {
  // Twelve songs with real files; slots 1, 4, 7 and 10 have no FileId yet.
  std::vector<std::string> paths;
  {
    marlbase::TableHandle table;
    table.setPath(path_);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    for (int i = 1; i <= 12; ++i) {
      const std::string p = dir_.file("song" + std::to_string(i) + ".mp3");
      std::ofstream(p) << "content of song " << i;
      paths.push_back(p);
      const int32_t slot = i <= 3 ? i : table.allocate();
      ASSERT_EQ(slot, i);
      ASSERT_TRUE(table.writeText(slot, kColFileName, p));
      ASSERT_TRUE(table.writeInt(slot, kColFileId, i % 3 == 1 ? 0 : 500 + i));
      program_.playList().append({"t", "a", "b", p, "MP3"});
    }
  }
  engine::SeededRandomSource random(3);
  network::ChecksumPass pass(program_.lock(), program_.library(), program_.settings(),
                             program_.context(), program_.playList(), program_.updateWriter(),
                             random, program_.threads(), program_.status());
  ASSERT_TRUE(program_.startSupervisor());
  {
    ClockDriver clock(env_);
    runCounted(env_, [&] { pass.run(); });
  }
  EXPECT_EQ(program_.updateQueue().length(), 4);
  // In play-list order: each computed one lowers it to 0, the two met after it raise it to 2;
  // then the random phase checks one song (one with its FileId): 3.
  EXPECT_EQ(program_.settings().get(settings::kHashStat), 3);
  EXPECT_EQ(network::changeCounter(program_.context()), network::kStaleCounter);
  {
    ClockDriver clock(env_);
    runCounted(env_, [&] { program_.updateWriter().runUpdateWriter(); });
  }
  marlbase::TableHandle table;
  table.setPath(path_);
  ASSERT_TRUE(table.open().ok());
  for (int i = 1; i <= 12; ++i) {
    const uint32_t want = i % 3 == 1 ? fileChecksum(paths[i - 1]) : 500 + i;
    EXPECT_EQ(table.readInt(i, kColFileId), want) << "slot " << i;
  }
}

TEST_F(ChecksumPassTest, RandomPhaseChecksASongBeforeItTestsWhetherToGoOn) {
  // Twenty-four songs, every one with a FileId, twenty of them on the play list.
  {
    marlbase::TableHandle table;
    table.setPath(path_);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    (void)table.writeInt(0, kColFileId, 100);  // slot 0, where the table has one
    for (int i = 1; i <= 24; ++i) {
      const int32_t slot = i <= 3 ? i : table.allocate();
      ASSERT_EQ(slot, i);
      const std::string p = dir_.file("song" + std::to_string(i) + ".mp3");
      ASSERT_TRUE(table.writeText(slot, kColFileName, p));
      ASSERT_TRUE(table.writeInt(slot, kColFileId, 500 + i));
      if (i <= 20) program_.playList().append({"t", "a", "b", p, "MP3"});
    }
  }
  engine::SeededRandomSource random(5);
  network::ChecksumPass pass(program_.lock(), program_.library(), program_.settings(),
                             program_.context(), program_.playList(), program_.updateWriter(),
                             random, program_.threads(), program_.status());
  ASSERT_TRUE(program_.startSupervisor());
  auto runPass = [&](int32_t hash_stat) {
    program_.settings().set(settings::kHashStat, hash_stat);
    ClockDriver clock(env_);
    runCounted(env_, [&] { pass.run(); });
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

namespace tunora::testing {
namespace {

TEST_F(ChecksumPassTest, UnreachableShareGoesOfflineAndTheCountdownBringsItBack) {
  const fs::path share_dir = dir_.path() / "share";
  fs::create_directories(share_dir);
  fs::copy_file(path_, share_dir / "Tunora.mbf");
  Settings& settings = program_.settings();
  settings.setText(settings::kDatabasePath, (share_dir / "Tunora.mbf").string());
  settings.set(settings::kNetwork, 1);
  program_.context().local_copy_path = dir_.file("Local.mbf");
  program_.context().network_refresh_counter = network::kStartUpCounter;
  ui::FirstButtonMessageDialog dialogs;
  network::FileCopier copier;
  network::LocalCopyLibrary local(program_.songTable(), settings, program_.context(),
                                  program_.words(), dialogs, copier);
  program_.library().setNetworkLibrary(&local);

  program_.library().openLibraryForReading();
  ASSERT_TRUE(program_.songTable().isOpen());
  program_.songTable().close();
  fs::rename(share_dir, dir_.path() / "away");
  network::refreshNetworkCache(program_.context());
  program_.library().openLibraryForReading();
  EXPECT_TRUE(program_.songTable().isOpen());  // the local copy
  program_.songTable().close();
  EXPECT_EQ(program_.words().build_request.load(), engine::kOfflineStart);
  EXPECT_FALSE(program_.library().openLibraryForWriting());

  for (int tick = 0; tick < 600; ++tick) ASSERT_TRUE(program_.supervisor().tick());
  EXPECT_EQ(program_.words().build_request.load(), engine::kOfflineLastCount);
  ASSERT_TRUE(program_.supervisor().tick());
  EXPECT_EQ(program_.words().build_request.load(), engine::kBuildNow);  // a build goes online
  fs::rename(dir_.path() / "away", share_dir);
  ASSERT_TRUE(program_.library().openLibraryForWriting());
  program_.library().closeLibraryAfterWriting();
  EXPECT_EQ(program_.words().build_request.load(), engine::kBuildNow);
  program_.library().setNetworkLibrary(nullptr);
}

}  // namespace
}  // namespace tunora::testing

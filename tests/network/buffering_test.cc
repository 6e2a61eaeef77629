// Buffering to the local drive: slot reuse with 150 slots and 200 songs, removal of the buffer,
// refused paths, and the checksum pass filling missing FileIds through the update queue.
#include "network/buffering.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

// Import from folders and playlists: paths imported once whatever their case, the file-type
// switches, missing listed files, stopping, folder loops and over-long paths.
#include "media/import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/settings_defaults.h"
#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/support/temp_dir.h"
#include "util/fake_env.h"

namespace tunora::media {
namespace {

using tunora::testing::TempDir;

class RecordingStatus final : public ImportStatus {
 public:
  void setLine1(const std::string& text) override { line1 = text; }
  void setLine2(const std::string& text) override {
    line2 = text;
    if (on_line2) on_line2();
  }
  std::string line1, line2;
  std::function<void()> on_line2;
};

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetAll(settings_);
    resetRatingValues(settings_);
    settings_.setText(settings::kDatabasePath, db_);
    marlbase::TableHandle t;
    ASSERT_TRUE(createSongTable(t, db_));
    t.close();
    std::filesystem::create_directories(music_ + "Artist/Album");
  }
  void touch(const std::string& path, const std::string& content = "not really audio") {
    std::ofstream(path, std::ios::binary) << content;
  }
  void import(const std::string& source) {
    engine::Grant grant = lock_.takeGrantDirectly(engine::kCodeImport);
    ASSERT_TRUE(grant);
    importer_.runImportHolding(grant, source);
  }
  // The live songs' paths, in slot order.
  std::vector<std::string> paths() {
    marlbase::TableHandle t;
    t.setPath(db_);
    EXPECT_TRUE(t.open().ok());
    std::vector<std::string> out;
    for (int32_t s = t.firstWithStatus(10, 1); s > 0;) {
      out.push_back(*t.readText(s, kColFileName));
      const int32_t next = t.nextLive(s);
      if (next == s) break;
      s = next;
    }
    return out;
  }

  TempDir dir_;
  std::string db_ = dir_.file("Tunora.mbf");
  std::string music_ = dir_.file("Music") + "/";
  FakeEnv env_;
  engine::SharedWords words_;
  engine::SharedLock lock_{words_, env_};
  Settings settings_;
  marlbase::TableHandle table_;
  RecordingStatus status_;
  std::atomic<int32_t> changes_{0};
  Importer importer_{lock_, table_, settings_, status_, changes_};
};

TEST_F(ImportTest, AFolderImportedTwiceAddsNothingTheSecondTime) {
  touch(music_ + "Artist/Album/One.mp3");
  touch(music_ + "Artist/Album/Two.wav");
  touch(music_ + "Artist/cover.jpg");
  import(music_ + "Artist/");  // a source ending in "/" imports that folder
  EXPECT_EQ(status_.line1, kImportCompleteText);
  EXPECT_EQ(status_.line2, db_);
  EXPECT_EQ(changes_.load(), 100);
  auto first = paths();
  std::sort(first.begin(), first.end());
  EXPECT_EQ(first, (std::vector<std::string>{music_ + "Artist/Album/One.mp3",
                                             music_ + "Artist/Album/Two.wav"}));
  import(music_ + "Artist/");
  EXPECT_EQ(paths().size(), 2u);
  // The same path in other letter case is the same song.
  std::ofstream(dir_.file("list.m3u")) << music_ << "ARTIST/Album/one.MP3\r\n";
  import(dir_.file("list.m3u"));
  EXPECT_EQ(paths().size(), 2u);

  // The new song's columns: default scores and credits, folder names, a checksum.
  marlbase::TableHandle t;
  t.setPath(db_);
  ASSERT_TRUE(t.open().ok());
  t.setSearchKey(music_ + "Artist/Album/One.mp3");
  const int32_t slot = t.findInColumn(kColFileName);
  ASSERT_GT(slot, 0);
  EXPECT_EQ(t.readInt(slot, ratingColumn(9)), 16u);
  EXPECT_EQ(t.readInt(slot, creditColumn(0)), 1000u);
  EXPECT_EQ(t.readText(slot, kColArtist), "Artist");
  EXPECT_EQ(t.readText(slot, kColAlbum), "Album");
  EXPECT_NE(t.readInt(slot, kColFileId), 0u);
}

TEST_F(ImportTest, SwitchesSkipFilesInFoldersButNotInPlaylists) {
  settings_.set(settings::kPlayMp3, 0);
  touch(music_ + "a.mp3");
  touch(music_ + "b.mid");
  import(music_ + "anything");  // no trailing "/": the folder that holds the last component
  EXPECT_EQ(paths(), (std::vector<std::string>{music_ + "b.mid"}));
  // A listed file that does not exist still becomes a song, with FileId 0.
  std::ofstream(dir_.file("list.txt")) << music_ << "a.mp3\r\n" << music_ << "gone.mp3\r\n";
  import(dir_.file("list.txt"));
  const auto all = paths();
  ASSERT_EQ(all.size(), 3u);
  marlbase::TableHandle t;
  t.setPath(db_);
  ASSERT_TRUE(t.open().ok());
  t.setSearchKey(music_ + "gone.mp3");
  EXPECT_EQ(t.readInt(t.findInColumn(kColFileName), kColFileId), 0u);
}

TEST_F(ImportTest, ErrorsAreReportedAndStoppingKeepsWhatWasAdded) {
  import(dir_.file("missing.m3u"));
  EXPECT_EQ(status_.line1, kErrorImportingText);
  EXPECT_EQ(words_.error.load(), 0);  // cleared once shown
  for (int i = 0; i < 10; ++i) touch(music_ + "song" + std::to_string(i) + ".mp3");
  int added = 0;
  status_.on_line2 = [&] {
    if (++added == 3) words_.abort.store(1);
  };
  import(music_);
  EXPECT_EQ(status_.line1, kImportCompleteText);
  EXPECT_EQ(paths().size(), 3u);
  // The library itself cannot be opened: an error, nothing done.
  settings_.setText(settings::kDatabasePath, dir_.file("nope.mbf"));
  status_.on_line2 = nullptr;
  import(music_);
  EXPECT_EQ(status_.line1, kErrorImportingText);
  // Offline: nothing happens at all.
  status_.line1.clear();
  words_.build_request.store(1000);
  import(music_);
  EXPECT_EQ(status_.line1, "");
}

TEST_F(ImportTest, ALinkBackToAParentFolderIsNotEnteredAgain) {
  touch(music_ + "Artist/Album/One.mp3");
  ASSERT_EQ(symlink(music_.c_str(), (music_ + "Artist/Album/loop").c_str()), 0);
  ASSERT_EQ(symlink((music_ + "Artist").c_str(), (music_ + "again").c_str()), 0);
  import(music_);
  EXPECT_EQ(status_.line1, kImportCompleteText);
  // One song, reached through whichever name the folder listing gave first.
  const auto all = paths();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_TRUE(all[0] == music_ + "Artist/Album/One.mp3" || all[0] == music_ + "again/Album/One.mp3")
      << all[0];
}

TEST_F(ImportTest, FilesWithPathsLongerThanTheColumnAreSkippedAndCounted) {
  std::string deep = music_;
  while (deep.size() < 590) deep += "folder-of-some-length/";
  std::filesystem::create_directories(deep);
  touch(deep + "long-enough-name.mp3");
  touch(music_ + "short.mp3");
  import(music_);
  EXPECT_EQ(paths(), (std::vector<std::string>{music_ + "short.mp3"}));
  EXPECT_EQ(importer_.skippedLongPaths(), 1);
  EXPECT_EQ(importCountsLine(importer_.counts()),
            "1 added, 0 already known, 1 skipped (1 path too long)");
}

}  // namespace
}  // namespace tunora::media

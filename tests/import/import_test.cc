// Import from folders and playlists: paths imported once whatever their case (within one import
// too), handed paths, errors, folder loops, skipped entries, the slot a song takes and songs an
// interrupted import left blank.
#include "import/import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "engine/lock_codes.h"
#include "library/file_checksum.h"
#include "settings/settings_defaults.h"
#include "tests/support/fake_env.h"
#include "tests/support/song_library.h"

namespace tunora::media {
namespace {

using Paths = std::vector<std::string>;

class RecordingStatus final : public ImportStatus {
 public:
  void setLine1(const std::string& text) override { line1 = text; }
  void setLine2(const std::string&) override {}
  std::string line1;
};

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetAll(settings_);
    resetRatingValues(settings_);
    settings_.setText(settings::kDatabasePath, db_);
    ASSERT_TRUE(testing::writeLibrary(db_, {}));
    std::filesystem::create_directories(music_ + "Artist/Album");
  }
  void touch(const std::string& path, const std::string& content = "not really audio") {
    testing::writeText(path, content);
  }
  void import(const std::string& source) {
    engine::Grant grant = lock_.takeGrantDirectly(engine::kCodeImport);
    ASSERT_TRUE(grant);
    importer_.runImportHolding(grant, source);
  }
  std::string counts() { return importCountsLine(importer_.counts()); }
  void openDb(marlbase::TableHandle& t, bool writable = false) {
    t.setPath(db_);
    t.setWritable(writable);
    ASSERT_TRUE(t.open().ok());
  }
  // The live songs' paths, in slot order (sorted when `sorted`).
  Paths paths(bool sorted = false) {
    marlbase::TableHandle t;
    openDb(t);
    Paths out;
    for (int32_t s = t.firstWithStatus(10, 1); s > 0;) {
      out.push_back(*t.readText(s, kColFileName));
      const int32_t next = t.nextLive(s);
      s = next == s ? -1 : next;
    }
    if (sorted) std::sort(out.begin(), out.end());
    return out;
  }

  testing::TempDir dir_;
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

// A path already known, in any letter case, is the same song, within one import too.
TEST_F(ImportTest, EachPathIsImportedOnceWhateverItsCase) {
  touch(music_ + "Artist/Album/One.mp3");
  touch(music_ + "Artist/Album/Two.wav");
  touch(music_ + "Artist/cover.jpg");
  import(music_ + "Artist/");  // a source ending in "/" imports that folder
  EXPECT_EQ(status_.line1, kImportCompleteText);
  EXPECT_EQ(changes_.load(), 100);
  EXPECT_EQ(paths(true), (Paths{music_ + "Artist/Album/One.mp3", music_ + "Artist/Album/Two.wav"}));
  import(music_ + "Artist/");
  testing::writeText(dir_.file("list.m3u"), music_ + "ARTIST/Album/one.MP3\r\n" + music_ +
                                                "Artist/Album/New.mp3\r\n" + music_ +
                                                "artist/album/NEW.mp3\r\n");
  import(dir_.file("list.m3u"));
  EXPECT_EQ(counts(), "1 added, 2 already known, 0 skipped");  // New.mp3 known at once
  std::filesystem::create_directories(music_ + "Other");
  touch(music_ + "Other/two.mp3");
  touch(music_ + "Other/TWO.MP3");
  import(music_ + "Other/");
  EXPECT_EQ(paths().size(), 4u);
}

// Two unfinished songs under one path in two letter cases: an import naming both settles the
// path once and finishes only the first.
TEST_F(ImportTest, APathIsSettledOncePerImportWhateverItsCase) {
  touch(music_ + "a.mp3");
  touch(music_ + "A.MP3");
  {
    marlbase::TableHandle t;
    openDb(t, true);
    ASSERT_TRUE(t.writeText(t.allocate(), kColFileName, music_ + "a.mp3"));
    ASSERT_TRUE(t.writeText(t.allocate(), kColFileName, music_ + "A.MP3"));
  }
  testing::writeText(dir_.file("list.m3u"), music_ + "a.mp3\r\n" + music_ + "A.MP3\r\n");
  import(dir_.file("list.m3u"));
  EXPECT_EQ(counts(), "0 added, 2 already known (1 of them finished), 0 skipped");
}

// A new song takes the first free slot, whether never used or left by a deleted song.
TEST_F(ImportTest, ANewSongTakesTheFirstFreeSlot) {
  std::filesystem::remove(db_);
  ASSERT_TRUE(testing::writeLibrary(db_, {{.path = "/a"}, {.path = "/b", .status = 5}, {"/c"}}));
  touch(music_ + "One.mp3");
  import(music_);
  EXPECT_EQ(paths(), (Paths{"/a", music_ + "One.mp3", "/c"}));
}

// A media file handed to the program is that one song (its neighbour stays out), the one to play.
TEST_F(ImportTest, AHandedMediaFileImportsThatSongOnly) {
  touch(music_ + "Artist/Album/One.mp3");
  touch(music_ + "Artist/Album/Two.wav");
  engine::Grant grant = lock_.takeGrantDirectly(engine::kCodeImport);
  ASSERT_TRUE(grant);
  importer_.runImportOfPathsHolding(grant, {music_ + "Artist/Album/One.mp3"});
  EXPECT_EQ(paths(), (Paths{music_ + "Artist/Album/One.mp3"}));
  EXPECT_EQ(importer_.firstSong(), music_ + "Artist/Album/One.mp3");
}

TEST_F(ImportTest, ALinkBackToAParentFolderIsNotEnteredAgain) {
  touch(music_ + "Artist/Album/One.mp3");
  ASSERT_EQ(symlink(music_.c_str(), (music_ + "Artist/Album/loop").c_str()), 0);
  ASSERT_EQ(symlink((music_ + "Artist").c_str(), (music_ + "again").c_str()), 0);
  import(music_);
  // One song, reached through whichever name the folder listing gave first.
  const auto all = paths();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_TRUE(all[0] == music_ + "Artist/Album/One.mp3" || all[0] == music_ + "again/Album/One.mp3")
      << all[0];
}

// Entries skipped by reason: unsupported types, unreadable links, and playlist lines longer
// than the column or that are no path (control characters). A Windows-1252 name of a file that
// exists is a path.
TEST_F(ImportTest, SkippedEntriesAreCountedByReason) {
  touch(music_ + "Artist/Album/One.mp3");
  touch(music_ + "notes.txt");
  ASSERT_EQ(symlink("/nonexistent/target.mp3", (music_ + "dangling.mp3").c_str()), 0);
  import(music_);
  EXPECT_EQ(counts(), "1 added, 0 already known, 2 skipped (1 unsupported type, 1 unreadable)");
  const std::string latin = music_ + "caf\xE9.mp3";
  touch(latin);
  testing::writeText(dir_.file("junk.m3u"),
                     "/music/one\x01two.mp3\r\n" + latin + "\r\n" + std::string(700, 'x') + "\r\n");
  import(dir_.file("junk.m3u"));
  EXPECT_EQ(counts(), "1 added, 0 already known, 2 skipped (1 path too long, 1 not a path)");
  EXPECT_EQ(paths(true), (Paths{music_ + "Artist/Album/One.mp3", latin}));
}

TEST_F(ImportTest, SongsAnOlderInterruptedImportLeftBlankAreFinishedOnTheirNextImport) {
  // Slots 1..5 as an import that wrote the path first and made the record live at once left them
  // when it was killed: path only; texts but no scores; scores for users 0..4 only; everything
  // but the checksum. And a whole song whose later changes must stay.
  const Paths names = {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"};
  {
    marlbase::TableHandle t;
    openDb(t, true);
    for (int32_t slot = 1; slot <= 5; ++slot) {
      const std::string& name = names[slot - 1];
      touch(music_ + name, "audio of " + name);
      ASSERT_EQ(t.allocate(), slot);
      ASSERT_TRUE(t.writeText(slot, kColFileName, music_ + name));
      if (slot > 1) {
        ASSERT_TRUE(t.writeText(slot, kColTitle, "Kept Title"));
      }
      for (int32_t user = 0; user < kUserCount; ++user) {
        if (slot == 3 && user < 5) t.writeInt(slot, ratingColumn(user), 40 + user);
        if (slot < 4) continue;
        t.writeInt(slot, ratingColumn(user), 99);
        t.writeInt(slot, creditColumn(user), 5);
      }
    }
    t.writeInt(5, kColFileId, 12345);
    t.writeInt(5, kColPlayCount, 3);
  }
  import(music_);
  EXPECT_EQ(counts(), "0 added, 5 already known (4 of them finished), 0 skipped");
  marlbase::TableHandle t;
  openDb(t);
  for (int32_t slot = 1; slot <= 4; ++slot) {
    EXPECT_EQ(t.readInt(slot, kColFileId), fileChecksum(music_ + names[slot - 1])) << slot;
  }
  EXPECT_EQ(t.readText(1, kColTitle), "a");      // from the file: it had no texts
  EXPECT_EQ(t.readText(1, kColAlbum), "Music");  // "Dir -> ID"
  EXPECT_EQ(t.readText(2, kColTitle), "Kept Title");
  for (int32_t user = 0; user < kUserCount; ++user) {
    SCOPED_TRACE(user);
    EXPECT_EQ(t.readInt(1, ratingColumn(user)), 16u);
    EXPECT_EQ(t.readInt(2, creditColumn(user)), 1000u);
    // Users the interrupted import reached keep their score; the others get the defaults.
    EXPECT_EQ(t.readInt(3, ratingColumn(user)), user < 5 ? 40u + static_cast<uint32_t>(user) : 16u);
    EXPECT_EQ(t.readInt(3, creditColumn(user)), user < 5 ? 0u : 1000u);
    EXPECT_EQ(t.readInt(4, ratingColumn(user)), 99u);
    EXPECT_EQ(t.readInt(5, creditColumn(user)), 5u);
  }
  EXPECT_EQ(t.readInt(5, kColFileId), 12345u);
  EXPECT_EQ(t.readInt(5, kColPlayCount), 3u);
  t.close();
  import(music_);
  EXPECT_EQ(counts(), "0 added, 5 already known, 0 skipped");
}

// An older "Remove Missing files" deleted the blank first record; every import then failed. The
// import gives slot 0 back and says so.
TEST_F(ImportTest, ALibraryThatLostItsBlankFirstRecordIsRepairedAndImports) {
  {
    marlbase::TableHandle t;
    openDb(t, true);
    ASSERT_EQ(t.setStatus(0, 5), 1);
  }
  touch(music_ + "Artist/Album/One.mp3");
  import(music_);
  EXPECT_EQ(status_.line1, kImportCompleteText) << importer_.errorReason();
  EXPECT_NE(importer_.repairNote().find("blank first record (slot 0)"), std::string::npos);
  EXPECT_EQ(paths(), (Paths{music_ + "Artist/Album/One.mp3"}));
  import(music_);
  EXPECT_EQ(importer_.repairNote(), "");
}

TEST_F(ImportTest, FailuresSayWhatFailed) {
  touch(music_ + "one.mp3");
  ASSERT_EQ(mkfifo(dir_.file("pipe.m3u").c_str(), 0600), 0);
  marlbase::TableHandle other;  // a table that is not a song table
  other.setPath(dir_.file("other.mbf"));
  other.setColumnCount(2);
  ASSERT_TRUE(other.create().ok());
  ASSERT_TRUE(other.defineColumn(1, 14) && other.defineColumn(2, 2) && other.finishColumns());
  other.close();
  struct Case {
    std::string source, library, reason;
  } const cases[] = {
      {dir_.file("Musci") + "/", db_, "no such folder: " + dir_.file("Musci") + "/"},
      {dir_.file("pipe.m3u"), db_, "not a regular file"},  // refused without waiting for a writer
      {music_, dir_.file("other.mbf"), "not a song table"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " into " + c.library);
    settings_.setText(settings::kDatabasePath, c.library);
    import(c.source);
    EXPECT_EQ(status_.line1, kErrorImportingText);
    EXPECT_NE(importer_.errorReason().find(c.reason), std::string::npos) << importer_.errorReason();
    EXPECT_EQ(words_.error.load(), 0);  // cleared once shown
  }
  settings_.setText(settings::kDatabasePath, db_);
  {
    marlbase::TableHandle t;  // the library held by another program
    openDb(t, true);
    import(music_);
    EXPECT_NE(importer_.errorReason().find("locked by another program"), std::string::npos);
    // A song table whose free slots all hold a status the engine never reuses takes no song.
    ASSERT_EQ(t.allocate(), 1);  // grows the new table to 20 slots
    for (int32_t s = 1; s < 20; ++s) ASSERT_EQ(t.setStatus(s, 1), 1);
  }
  import(music_);
  EXPECT_NE(
      importer_.errorReason().find("19 slots hold a status the table cannot reuse (such as 1)"),
      std::string::npos)
      << importer_.errorReason();
}

}  // namespace
}  // namespace tunora::media

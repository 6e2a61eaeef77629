// Import from folders and playlists: paths imported once whatever their case (within one import
// too), the file-type switches, missing listed files, stopping, folder loops and over-long paths.
#include "import/import.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/lock_codes.h"
#include "library/file_checksum.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "settings/settings_defaults.h"
#include "tests/support/fake_env.h"
#include "tests/support/temp_dir.h"

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
  // Opens the library in `t`.
  void openDb(marlbase::TableHandle& t, bool writable = false) {
    t.setPath(db_);
    t.setWritable(writable);
    ASSERT_TRUE(t.open().ok());
  }
  // The live songs' paths, in slot order.
  std::vector<std::string> paths() {
    marlbase::TableHandle t;
    openDb(t);
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
  openDb(t);
  t.setSearchKey(music_ + "Artist/Album/One.mp3");
  const int32_t slot = t.findInColumn(kColFileName);
  ASSERT_GT(slot, 0);
  EXPECT_EQ(t.readInt(slot, ratingColumn(9)), 16u);
  EXPECT_EQ(t.readInt(slot, creditColumn(0)), 1000u);
  EXPECT_EQ(t.readText(slot, kColArtist), "Artist");
  EXPECT_EQ(t.readText(slot, kColAlbum), "Album");
  EXPECT_NE(t.readInt(slot, kColFileId), 0u);
}

// A path added by this import is known at once: a playlist that lists a song twice, or in two
// letter cases, adds it once, and so does a folder holding two names that differ only in case.
// Paths handed to the program: a media file is that one song (its neighbours stay out), a folder
// and a playlist import as usual; the first song met is the one to play, known or new.
TEST_F(ImportTest, HandedPathsImportEachByItsKind) {
  touch(music_ + "Artist/Album/One.mp3");
  touch(music_ + "Artist/Album/Two.wav");
  std::filesystem::create_directories(music_ + "Folder");
  touch(music_ + "Folder/Three.mp3");
  touch(music_ + "Folder/notes.doc");
  touch(music_ + "Listed.wma");
  std::ofstream(dir_.file("list.m3u")) << music_ << "Listed.wma\r\n";
  EXPECT_EQ(handedPathKind(music_ + "Artist/Album/One.mp3"), HandedPathKind::kMediaFile);
  EXPECT_EQ(handedPathKind(music_ + "Folder"), HandedPathKind::kFolder);
  EXPECT_EQ(handedPathKind(dir_.file("list.m3u")), HandedPathKind::kPlaylist);
  EXPECT_EQ(handedPathKind(music_ + "Folder/notes.doc"), HandedPathKind::kNone);
  EXPECT_EQ(handedPathKind(music_ + "Missing.mp3"), HandedPathKind::kNone);

  engine::Grant grant = lock_.takeGrantDirectly(engine::kCodeImport);
  ASSERT_TRUE(grant);
  importer_.runImportOfPathsHolding(
      grant, {music_ + "Artist/Album/One.mp3", music_ + "Folder/", dir_.file("list.m3u")});
  EXPECT_EQ(status_.line1, kImportCompleteText);
  auto added = paths();
  std::sort(added.begin(), added.end());
  EXPECT_EQ(added, (std::vector<std::string>{music_ + "Artist/Album/One.mp3",
                                             music_ + "Folder/Three.mp3", music_ + "Listed.wma"}));
  EXPECT_EQ(importer_.firstSong(), music_ + "Artist/Album/One.mp3");
  // Handed again, the known song is still the first.
  importer_.runImportOfPathsHolding(grant, {music_ + "Folder/", dir_.file("list.m3u")});
  EXPECT_EQ(importer_.songsAdded(), 0);
  EXPECT_EQ(importer_.firstSong(), music_ + "Folder/Three.mp3");
  // A media file whose type is switched off adds nothing.
  settings_.set(settings::kPlayWav, 0);
  importer_.runImportOfPathsHolding(grant, {music_ + "Artist/Album/Two.wav"});
  EXPECT_EQ(paths().size(), 3u);
  EXPECT_EQ(importer_.firstSong(), "");
}

TEST_F(ImportTest, OnePathListedTwiceInOneImportAddsOneSong) {
  touch(music_ + "Artist/Album/One.mp3");
  std::ofstream(dir_.file("list.m3u")) << music_ << "Artist/Album/One.mp3\r\n"
                                       << music_ << "Artist/Album/One.mp3\r\n"
                                       << music_ << "ARTIST/album/ONE.mp3\r\n";
  import(dir_.file("list.m3u"));
  EXPECT_EQ(paths(), (std::vector<std::string>{music_ + "Artist/Album/One.mp3"}));
  EXPECT_EQ(importer_.songsAdded(), 1);

  std::filesystem::create_directories(music_ + "Other");
  touch(music_ + "Other/two.mp3");
  touch(music_ + "Other/TWO.MP3");
  import(music_ + "Other/");
  EXPECT_EQ(paths().size(), 2u);
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
  openDb(t);
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

TEST_F(ImportTest, SongsAnOlderInterruptedImportLeftBlankAreFinishedOnTheirNextImport) {
  // Records as an import that wrote the path first and made the record live at once left them
  // when it was killed: path only; texts but no scores; scores for users 0..4 only; everything
  // but the checksum. And a whole song whose later changes must stay.
  const std::vector<std::string> names = {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"};
  for (const auto& name : names) touch(music_ + name, "audio of " + name);
  {
    marlbase::TableHandle t;
    openDb(t, true);
    std::vector<int32_t> slots;
    for (const auto& name : names) {
      slots.push_back(t.allocate());
      ASSERT_TRUE(t.writeText(slots.back(), kColFileName, music_ + name));
    }
    for (int32_t slot : {slots[1], slots[2], slots[3], slots[4]}) {
      ASSERT_TRUE(t.writeText(slot, kColTitle, "Kept Title"));
    }
    for (int32_t user = 0; user < kUserCount; ++user) {
      for (int32_t slot : {slots[3], slots[4]}) {
        t.writeInt(slot, ratingColumn(user), 99);
        t.writeInt(slot, creditColumn(user), 5);
      }
      if (user < 5) t.writeInt(slots[2], ratingColumn(user), 40 + user);
    }
    t.writeInt(slots[4], kColFileId, 12345);
    t.writeInt(slots[4], kColPlayCount, 3);
    t.close();
  }
  import(music_);
  EXPECT_EQ(status_.line1, kImportCompleteText);
  EXPECT_EQ(importCountsLine(importer_.counts()),
            "0 added, 5 already known (4 of them finished), 0 skipped");
  marlbase::TableHandle t;
  openDb(t);
  auto slotOf = [&](const std::string& name) {
    t.setSearchKey(music_ + name);
    return t.findInColumn(kColFileName);
  };
  for (const auto& name : names) {
    const int32_t slot = slotOf(name);
    ASSERT_GT(slot, 0) << name;
    if (name != "e.mp3") {
      EXPECT_EQ(t.readInt(slot, kColFileId), fileChecksum(music_ + name)) << name;
    }
    EXPECT_NE(t.readText(slot, kColTitle).value_or(""), "") << name;
  }
  EXPECT_EQ(t.readText(slotOf("a.mp3"), kColTitle), "a");      // from the file: it had no texts
  EXPECT_EQ(t.readText(slotOf("a.mp3"), kColAlbum), "Music");  // "Dir -> ID"
  EXPECT_EQ(t.readText(slotOf("b.mp3"), kColTitle), "Kept Title");
  for (int32_t user = 0; user < kUserCount; ++user) {
    EXPECT_EQ(t.readInt(slotOf("a.mp3"), ratingColumn(user)), 16u);
    EXPECT_EQ(t.readInt(slotOf("b.mp3"), creditColumn(user)), 1000u);
    // Users the interrupted import reached keep their score; the others get the defaults.
    EXPECT_EQ(t.readInt(slotOf("c.mp3"), ratingColumn(user)),
              user < 5 ? 40u + static_cast<uint32_t>(user) : 16u);
    EXPECT_EQ(t.readInt(slotOf("d.mp3"), ratingColumn(user)), 99u);
    EXPECT_EQ(t.readInt(slotOf("e.mp3"), creditColumn(user)), 5u);
  }
  EXPECT_EQ(t.readInt(slotOf("e.mp3"), kColFileId), 12345u);
  EXPECT_EQ(t.readInt(slotOf("e.mp3"), kColPlayCount), 3u);
  t.close();
  import(music_);
  EXPECT_EQ(importCountsLine(importer_.counts()), "0 added, 5 already known, 0 skipped");
}

TEST_F(ImportTest, SkippedEntriesAreCountedByReason) {
  touch(music_ + "Artist/Album/One.mp3");
  touch(music_ + "Artist/cover.jpg");
  touch(music_ + "notes.txt");
  ASSERT_EQ(symlink("/nonexistent/target.mp3", (music_ + "dangling.mp3").c_str()), 0);
  import(music_);
  EXPECT_EQ(status_.line1, kImportCompleteText);
  EXPECT_EQ(importCountsLine(importer_.counts()),
            "1 added, 0 already known, 3 skipped (2 unsupported type, 1 unreadable)");

  // A playlist of binary data: lines holding control characters or text that is not UTF-8 and
  // naming no file are no paths. A Windows-1252 name of a file that exists is one.
  const std::string latin = music_ + "caf\xE9.mp3";
  touch(latin);
  std::string list = "/music/one\x01two.mp3\r\n/music/\xFF\xFEjunk.mp3\r\n" + latin + "\r\n" +
                     "/music/missing but text.mp3\r\n" + music_ + "Artist/Album/One.mp3\r\n" +
                     std::string(700, 'x') + "\r\n";
  tunora::testing::writeText(dir_.file("junk.m3u"), list);
  import(dir_.file("junk.m3u"));
  EXPECT_EQ(status_.line1, kImportCompleteText);
  EXPECT_EQ(importCountsLine(importer_.counts()),
            "2 added, 1 already known, 3 skipped (1 path too long, 2 not a path)");
  const auto all = paths();
  EXPECT_NE(std::find(all.begin(), all.end(), latin), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), "/music/missing but text.mp3"), all.end());
}

// An older "Remove Missing files" deleted the blank first record; every import then failed. The
// import gives slot 0 back and says so.
TEST_F(ImportTest, ALibraryThatLostItsBlankFirstRecordIsRepairedAndImports) {
  {
    marlbase::TableHandle t;
    openDb(t, true);
    ASSERT_EQ(t.setStatus(0, 5), 1);
    t.close();
  }
  touch(music_ + "Artist/Album/One.mp3");
  import(music_);
  EXPECT_EQ(status_.line1, kImportCompleteText) << importer_.errorReason();
  EXPECT_NE(importer_.repairNote().find("blank first record (slot 0)"), std::string::npos);
  EXPECT_EQ(paths(), (std::vector<std::string>{music_ + "Artist/Album/One.mp3"}));
  import(music_);
  EXPECT_EQ(importer_.repairNote(), "");
}

TEST_F(ImportTest, FailuresSayWhatFailed) {
  // A folder that does not exist.
  import(dir_.file("Musci") + "/");
  EXPECT_EQ(status_.line1, kErrorImportingText);
  EXPECT_EQ(importer_.errorReason(), "no such folder: " + dir_.file("Musci") + "/");
  // A FIFO named as a playlist: refused at once, without waiting for a writer.
  ASSERT_EQ(mkfifo(dir_.file("pipe.m3u").c_str(), 0600), 0);
  import(dir_.file("pipe.m3u"));
  EXPECT_EQ(status_.line1, kErrorImportingText);
  EXPECT_NE(importer_.errorReason().find("not a regular file"), std::string::npos);
  // The library held by another program.
  {
    marlbase::TableHandle other;
    openDb(other, true);
    import(music_);
    EXPECT_EQ(status_.line1, kErrorImportingText);
    EXPECT_NE(importer_.errorReason().find("locked by another program"), std::string::npos);
  }
  // A table that is not a song table.
  {
    marlbase::TableHandle other;
    other.setPath(dir_.file("other.mbf"));
    other.setColumnCount(2);
    ASSERT_TRUE(other.create().ok());
    ASSERT_TRUE(other.defineColumn(1, 14) && other.defineColumn(2, 2) && other.finishColumns());
    other.close();
  }
  touch(music_ + "one.mp3");
  settings_.setText(settings::kDatabasePath, dir_.file("other.mbf"));
  import(music_);
  EXPECT_EQ(status_.line1, kErrorImportingText);
  EXPECT_NE(importer_.errorReason().find("not a song table"), std::string::npos);
  // A song table whose free slots all hold a status the engine never reuses cannot take a song.
  settings_.setText(settings::kDatabasePath, db_);
  {
    marlbase::TableHandle t;
    openDb(t, true);
    ASSERT_EQ(t.allocate(), 1);  // grows the new table to 20 slots
    ASSERT_EQ(t.capacity(), 20u);
    for (uint32_t s = 1; s < t.capacity(); ++s)
      ASSERT_EQ(t.setStatus(static_cast<int32_t>(s), 1), 1);
    t.close();
  }
  import(music_);
  EXPECT_EQ(status_.line1, kErrorImportingText);
  EXPECT_NE(
      importer_.errorReason().find("19 slots hold a status the table cannot reuse (such as 1)"),
      std::string::npos)
      << importer_.errorReason();
}

// Removes the folder `name` in the open folder `at` with everything in it, however long the
// paths inside (std::filesystem cannot: it names every entry by its full path).
void removeTreeAt(int at, const char* name) {
  const int fd = openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    DIR* dir = fdopendir(fd);
    while (const dirent* entry = readdir(dir)) {
      const std::string child = entry->d_name;
      if (child == "." || child == "..") continue;
      if (entry->d_type == DT_DIR) {
        removeTreeAt(fd, child.c_str());
      } else {
        unlinkat(fd, child.c_str(), 0);
      }
    }
    closedir(dir);
  }
  unlinkat(at, name, AT_REMOVEDIR);
}

TEST_F(ImportTest, PathsLongerThanTheSystemTakesAreCountedAsTooLong) {
  // Folders nested past 4,096 bytes, made one step at a time, with a song at the bottom.
  const std::string part(200, 'd');
  int fd = open(music_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (int depth = 0; depth < 22; ++depth) {
    ASSERT_EQ(mkdirat(fd, part.c_str(), 0700), 0);
    const int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  const int song = openat(fd, "deep.mp3", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(song, 0);
  close(song);
  close(fd);
  touch(music_ + "short.mp3");
  import(music_);
  EXPECT_EQ(status_.line1, kImportCompleteText);
  EXPECT_EQ(importCountsLine(importer_.counts()),
            "1 added, 0 already known, 1 skipped (1 path too long)");
  const int top = open(music_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  removeTreeAt(top, part.c_str());
  close(top);
}

}  // namespace
}  // namespace tunora::media

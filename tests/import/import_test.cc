// Import from folders and playlists: paths imported once whatever their case (within one import
// too), handed paths, errors, folder loops, skipped entries, the slot a song takes and songs an
// interrupted import left blank. And an import killed (SIGKILL, in a child) after its k-th write,
// for every k: the library opens and holds every finished song whole, no path twice and no stale
// field of a reused slot; the next import finishes the work. 20 songs, about 400 kills;
// TUNORA_IMPORT_CRASH_SONGS=N runs a longer sweep (e.g. 200 in the sanitizer builds).
#include "import/import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "engine/lock_codes.h"
#include "library/file_checksum.h"
#include "settings/settings_defaults.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_env.h"
#include "tests/support/song_library.h"
#include "util/text_codec.h"

namespace tunora::media {
namespace {

using Paths = std::vector<std::string>;
using tunora::testing::TempDir;

// Keeps the first status line; writes each song the import reports finished (a second line that
// starts with `folder`) to `out` when one is given.
struct RecordingStatus final : ImportStatus {
  explicit RecordingStatus(std::ostream* out, std::string folder)
      : out_(out), folder_(std::move(folder)) {}
  void setLine1(const std::string& text) override { line1 = text; }
  void setLine2(const std::string& text) override {
    if (out_ != nullptr && text.rfind(folder_, 0) == 0) *out_ << text << std::endl;
  }
  std::string line1;

  std::ostream* out_;
  std::string folder_;
};

// The importer over the library at `db` with the settings of a first run; each import takes the
// lock directly.
struct ImportRun {
  explicit ImportRun(const std::string& db, std::ostream* report = nullptr,
                     const std::string& folder = "")
      : status(report, folder) {
    resetAll(settings);
    resetRatingValues(settings);
    settings.setText(settings::kDatabasePath, db);
  }
  void import(const std::string& source) {
    engine::Grant grant = lock.takeGrantDirectly(engine::kCodeImport);
    ASSERT_TRUE(grant);
    importer.runImportHolding(grant, source);
  }

  RecordingStatus status;
  Settings settings;
  FakeEnv env;
  engine::SharedWords words;
  engine::SharedLock lock{words, env};
  marlbase::TableHandle table;
  std::atomic<int32_t> changes{0};
  Importer importer{lock, table, settings, status, changes};
};

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::writeLibrary(db_, {}));
    std::filesystem::create_directories(music_ + "Artist/Album");
  }
  void touch(const std::string& path) { testing::writeText(path, "not really audio"); }
  void import(const std::string& source) { run_.import(source); }
  std::string counts() { return importCountsLine(importer_.counts()); }
  void openDb(marlbase::TableHandle& t, bool writable = false) {
    t.setPath(db_);
    t.setWritable(writable);
    ASSERT_TRUE(t.open().ok());
  }
  // The live songs' paths after the blank record, in slot order (sorted when `sorted`).
  Paths paths(bool sorted = false) {
    marlbase::TableHandle t;
    openDb(t);
    Paths out;
    for (int32_t s = 1; s < static_cast<int32_t>(t.capacity()); ++s) {
      if (t.peekStatus(s) == marlbase::kStatusLive) out.push_back(*t.readText(s, kColFileName));
    }
    if (sorted) std::sort(out.begin(), out.end());
    return out;
  }

  TempDir dir_;
  std::string db_ = dir_.file("Tunora.mbf");
  std::string music_ = dir_.file("Music") + "/";
  ImportRun run_{db_};
  Importer& importer_ = run_.importer;
};

// A path already known, in any letter case, is the same song, within one import too.
TEST_F(ImportTest, EachPathIsImportedOnceWhateverItsCase) {
  touch(music_ + "Artist/Album/One.mp3");
  touch(music_ + "Artist/Album/Two.wav");
  touch(music_ + "Artist/cover.jpg");
  import(music_ + "Artist/");  // a source ending in "/" imports that folder
  EXPECT_EQ(run_.status.line1, kImportCompleteText);
  EXPECT_EQ(run_.changes.load(), 100);
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
  engine::Grant grant = run_.lock.takeGrantDirectly(engine::kCodeImport);
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
      testing::writeText(music_ + name, "audio of " + name);
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
  EXPECT_EQ(run_.status.line1, kImportCompleteText) << importer_.errorReason();
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
    run_.settings.setText(settings::kDatabasePath, c.library);
    import(c.source);
    EXPECT_EQ(run_.status.line1, kErrorImportingText);
    EXPECT_NE(importer_.errorReason().find(c.reason), std::string::npos) << importer_.errorReason();
    EXPECT_EQ(run_.words.error.load(), 0);  // cleared once shown
  }
  run_.settings.setText(settings::kDatabasePath, db_);
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

class ImportCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* songs = std::getenv("TUNORA_IMPORT_CRASH_SONGS");
    song_count_ = songs != nullptr ? std::max(1, std::atoi(songs)) : 20;
    std::filesystem::create_directories(music_ + "Artist/Album");
    for (int i = 0; i < song_count_; ++i) {
      const std::string path = music_ + "Artist/Album/song" + std::to_string(100 + i) + ".mp3";
      tunora::testing::writeText(path, "not really audio, number " + std::to_string(i));
      checksums_[path] = fileChecksum(path);
    }
    // A library whose first free slots hold deleted songs with every field set.
    marlbase::TableHandle t;
    ASSERT_TRUE(createSongTable(t, pristine_));
    for (int i = 0; i < 6; ++i) {
      const int32_t slot = t.allocate();
      ASSERT_GT(slot, 0);
      ASSERT_TRUE(t.writeText(slot, kColFileName, "/old/deleted" + std::to_string(i) + ".mp3"));
      for (int32_t column = kColTitle; column <= 9; ++column) t.writeText(slot, column, "stale");
      for (int32_t column = 10; column <= kSongColumnCount; ++column) t.writeInt(slot, column, 7);
    }
    for (int32_t slot = 1; slot <= 6; ++slot) ASSERT_EQ(t.setStatus(slot, 5), 1);
    t.close();
  }

  // The library as a reader finds it after the crash: "" when it opens, holds every finished
  // song whole, no path twice and no half-written song; else what is wrong.
  std::string check(const std::set<std::string>& finished) {
    marlbase::TableHandle t;
    t.setPath(db_);
    if (!t.open().ok()) return "the library does not open";
    std::map<std::string, int> live;
    for (int32_t slot = 1; slot < static_cast<int32_t>(t.capacity()); ++slot) {
      if (t.peekStatus(slot) != marlbase::kStatusLive) continue;
      const std::string path = t.readText(slot, kColFileName).value_or("");
      if (++live[asciiLower(path)] > 1) return path + " is live twice";
      const auto expected = checksums_.find(path);
      bool whole = expected != checksums_.end() && t.readText(slot, kColArtist) == "Artist" &&
                   t.readText(slot, kColAlbum) == "Album" &&
                   t.readText(slot, kColTitle) == path.substr(path.size() - 11, 7) &&
                   t.readText(slot, kColNote) == "No Data" &&
                   t.readInt(slot, kColFileId) == expected->second;
      for (int32_t column :
           {kColFlags, kColStartFrame, kColEndFrame, kColPlayCount, kColReserved10}) {
        whole = whole && t.readInt(slot, column) == 0u;
      }
      for (int32_t user = 0; user < kUserCount; ++user) {
        whole = whole && t.readInt(slot, ratingColumn(user)) == 16u &&
                t.readInt(slot, creditColumn(user)) == 1000u;
      }
      if (!whole) return "slot " + std::to_string(slot) + " (" + path + ") is half-written";
    }
    for (const std::string& path : finished) {
      if (live.count(asciiLower(path)) == 0) return path + " was added, then lost";
    }
    return "";
  }

  // Imports in a child killed after its k-th write; the paths it reported finished. False when
  // the child ran to its end instead.
  bool importKilledAt(int k, std::set<std::string>& finished) {
    const std::string report = dir_.file("finished.txt");
    std::filesystem::remove(report);
    const int end = tunora::testing::childExit([&] {
      std::ofstream out(report);
      ImportRun run(db_, &out, music_);
      int writes = 0;
      run.importer.TEST_setWriteHook([&] {
        if (++writes == k) raise(SIGKILL);
      });
      run.import(music_);
      return 0;
    });
    std::ifstream in(report);
    for (std::string line; std::getline(in, line);) finished.insert(line);
    EXPECT_TRUE(end == 0 || end == -SIGKILL) << end;
    return end != 0;
  }

  TempDir dir_;
  std::string music_ = dir_.file("Music") + "/";
  std::string pristine_ = dir_.file("pristine.mbf");
  std::string db_ = dir_.file("Tunora.mbf");
  int song_count_ = 0;
  std::map<std::string, uint32_t> checksums_;
};

TEST_F(ImportCrashTest, AKillAtAnyWriteLeavesTheLibraryWholeAndTheNextImportFinishesIt) {
  std::set<std::string> all;
  for (const auto& entry : checksums_) all.insert(entry.first);
  int kills = 0;
  for (int k = 1;; ++k) {
    std::filesystem::copy_file(pristine_, db_, std::filesystem::copy_options::overwrite_existing);
    std::set<std::string> finished;
    if (!importKilledAt(k, finished)) {
      EXPECT_EQ(finished, all) << "the import that ran to its end";
      break;
    }
    ++kills;
    const std::string after_kill = check(finished);
    ImportRun(db_).import(music_);
    const std::string after_reimport = check(all);
    ASSERT_EQ(after_kill + after_reimport, "")
        << "killed at write " << k << ": " << after_kill << "; imported again: " << after_reimport;
  }
  // Every song costs at least a dozen writes, each a kill point.
  EXPECT_GE(kills, song_count_ * 12);
  std::printf("import kills: %d, every library sound after the kill and after importing again\n",
              kills);
}

}  // namespace
}  // namespace tunora::media

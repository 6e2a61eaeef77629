// An import killed at any moment leaves a library that opens, holds every song it finished
// whole, no path twice and no half-written song; the next import finishes the work.
//
// A child process imports a folder of songs into a library that has deleted records to reuse
// (their stale fields must never show through) and kills itself with SIGKILL after its k-th
// write to the table, for every k until the import runs to its end. The parent then checks the
// library. The normal run uses 20 songs (about 400 kills); TUNORA_IMPORT_CRASH_SONGS=N runs a
// longer sweep (the sanitizer builds: TUNORA_IMPORT_CRASH_SONGS=200 build-asan/tests/import/
// import_crash_tests).
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "engine/lock_codes.h"
#include "import/import.h"
#include "library/file_checksum.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "settings/settings_defaults.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_env.h"
#include "tests/support/temp_dir.h"
#include "util/text_codec.h"

namespace tunora::media {
namespace {

using tunora::testing::TempDir;

// Writes each song the import reports finished (the last line names the library) to `out`.
class ReportingStatus final : public ImportStatus {
 public:
  ReportingStatus(std::ostream* out, std::string folder) : out_(out), folder_(std::move(folder)) {}
  void setLine1(const std::string&) override {}
  void setLine2(const std::string& text) override {
    if (out_ != nullptr && text.rfind(folder_, 0) == 0) *out_ << text << std::endl;
  }

 private:
  std::ostream* out_;
  std::string folder_;
};

// One import of `folder` into `db`, with the default settings.
void importFolder(const std::string& db, const std::string& folder,
                  std::function<void()> write_hook = nullptr, std::ostream* report = nullptr) {
  ReportingStatus status(report, folder);
  Settings settings;
  resetAll(settings);
  resetRatingValues(settings);
  settings.setText(settings::kDatabasePath, db);
  FakeEnv env;
  engine::SharedWords words;
  engine::SharedLock lock(words, env);
  marlbase::TableHandle table;
  std::atomic<int32_t> changes{0};
  Importer importer(lock, table, settings, status, changes);
  importer.TEST_setWriteHook(std::move(write_hook));
  engine::Grant grant = lock.takeGrantDirectly(engine::kCodeImport);
  importer.runImportHolding(grant, folder);
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
      int writes = 0;
      importFolder(
          db_, music_,
          [&] {
            if (++writes == k) raise(SIGKILL);
          },
          &out);
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
    importFolder(db_, music_);
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

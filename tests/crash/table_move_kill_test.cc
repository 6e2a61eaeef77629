// Kills (SIGKILL) a child at random moments of the work that moves song records around a library
// (a compaction, a shrink, "Sort by Name" on a table with no free slot, "Sort by Artist" on one
// with free slots, an import into a library the maintenance compacts and cuts) and checks the
// library each kill leaves, as the next opener finds it. 20 kills per kind of work;
// TUNORA_CRASH_KILLS=n makes n (the `crash-long` test: 200 each).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/lock_codes.h"
#include "engine/shared_lock.h"
#include "import/import.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "maintenance/db_functions.h"
#include "marlbase/table_handle.h"
#include "settings/settings_defaults.h"
#include "tests/support/fake_env.h"
#include "tests/support/kill_child.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

using marlbase::TableHandle;
using testing::TempDir;

// A song's fields follow from its id, so that a reader can tell a whole record from a torn one.
std::string pathOf(uint32_t id) { return "/music/song" + std::to_string(id) + ".mp3"; }
std::string wordOf(uint32_t seed) {
  std::string word;
  for (uint32_t x = seed * 2654435761u + 12345; word.size() < 12; x = x * 1103515245u + 12345) {
    word += static_cast<char>('a' + (x >> 16) % 26);
  }
  return word;
}
std::string titleOf(uint32_t id) { return wordOf(id) + " " + std::to_string(id); }
std::string artistOf(uint32_t id) { return wordOf(id % 37 + 7000); }
uint32_t checkOf(uint32_t id) { return id * 2246822519u ^ 0x27d4eb2fu; }

bool writeSong(TableHandle& t, int32_t slot, uint32_t id) {
  return t.writeText(slot, kColFileName, pathOf(id)) && t.writeText(slot, kColTitle, titleOf(id)) &&
         t.writeText(slot, kColArtist, artistOf(id)) && t.writeInt(slot, kColFileId, checkOf(id)) &&
         t.writeInt(slot, kColPlayCount, id);
}

class TableMoveKillTest : public ::testing::Test {
 protected:
  // A song table of `capacity` slots: slot 0 the blank record, then `songs` songs (ids 1..songs)
  // scattered at random over the other slots; the rest deleted songs (status 5) with fields.
  void build(uint32_t capacity, uint32_t songs, uint32_t seed) {
    std::mt19937 rng(seed);
    TableHandle t;
    ASSERT_TRUE(createSongTable(t, db_));
    t.close();
    // The new table widened to `capacity` zero slots (its header says so).
    std::vector<uint8_t> bytes = testing::readBytes(db_);
    bytes.resize(1444 + 8 * kSongColumnCount + size_t{capacity} * kSongRecordSize, 0);
    for (int i = 0; i < 4; ++i) bytes[1360 + i] = static_cast<uint8_t>(capacity >> (8 * i));
    testing::writeBytes(db_, bytes);
    std::vector<bool> holds(capacity, false);
    for (uint32_t placed = 0; placed < songs;) {
      const uint32_t s = 1 + rng() % (capacity - 1);
      if (!holds[s]) holds[s] = true, ++placed;
    }
    t.setPath(db_);
    t.setWritable(true);
    ASSERT_TRUE(t.open().ok());
    ASSERT_EQ(t.capacity(), capacity);
    t.setBatch(true);
    uint32_t id = 1;
    for (uint32_t s = 1; s < capacity; ++s) {
      ASSERT_TRUE(writeSong(t, static_cast<int32_t>(s), holds[s] ? id++ : 900000 + s));
      t.setStatus(static_cast<int32_t>(s),
                  holds[s] ? marlbase::kStatusLive : marlbase::kStatusDeleted);
    }
    t.close();
    songs_ = songs;
    template_ = testing::readBytes(db_);
  }

  // Kills the work at random moments; after each run the library opens, and every song it held
  // is there exactly once and whole (an imported path at most once).
  void killAtRandom(const char* what, const std::function<bool()>& prepare,
                    const std::function<bool()>& work,
                    const std::map<std::string, int>& imported_paths = {}) {
    testing::killRepeatedly(
        what, songs_, 20, prepare, work,
        [&] {
          testing::writeBytes(db_, template_);
          std::filesystem::remove(db_ + ".journal");
        },
        [&](bool) {
          TableHandle t;
          t.setPath(db_);
          ASSERT_TRUE(t.open().ok()) << what;
          std::vector<int> seen(songs_ + 1, 0);
          std::map<std::string, int> imported = imported_paths;
          for (int32_t slot = 1; slot < static_cast<int32_t>(t.capacity()); ++slot) {
            if (t.peekStatus(slot) != marlbase::kStatusLive) continue;
            const uint32_t id = t.readInt(slot, kColPlayCount).value_or(0);
            const std::string path = t.readText(slot, kColFileName).value_or("");
            if (id == 0 && imported.count(path) != 0) {
              EXPECT_EQ(++imported[path], 1) << what << ": " << path << " live twice";
            } else if (id == 0 || id > songs_ || path != pathOf(id) ||
                       t.readText(slot, kColTitle) != titleOf(id) ||
                       t.readText(slot, kColArtist) != artistOf(id) ||
                       t.readInt(slot, kColFileId) != checkOf(id)) {
              ADD_FAILURE() << what << ": slot " << slot << " torn";
            } else {
              ++seen[id];
            }
          }
          for (uint32_t id = 1; id <= songs_; ++id)
            EXPECT_EQ(seen[id], 1) << what << ": song " << id << " lost or live twice";
        });
  }

  TempDir dir_;
  std::string db_ = dir_.file("Tunora.mbf");
  uint32_t songs_ = 0;
  std::vector<uint8_t> template_;
  TableHandle table_;  // the child's
};

TEST_F(TableMoveKillTest, CompactionShrinkAndSorts) {
  using maintenance::DbFunction;
  const auto sort = [](DbFunction function) {
    return [function](TableHandle& t) {
      return maintenance::runDbFunction(function, t, {}, {}, nullptr, nullptr).ok;
    };
  };
  const struct {
    const char* what;
    uint32_t capacity, songs;
    std::function<bool(TableHandle&)> work;
  } rows[] = {
      {"compaction", 600, 260, [](TableHandle& t) { return t.compact() > 0; }},
      {"shrink", 600, 380, [](TableHandle& t) { return t.maintain() == 1 && t.capacity() < 600; }},
      // Slot 0 and 399 songs: no free slot.
      {"sort by name, full table", 400, 399, sort(DbFunction::kSortByName)},
      {"sort by artist, free slots", 400, 300, sort(DbFunction::kSortByArtist)},
  };
  uint32_t seed = 0;
  for (const auto& row : rows) {
    build(row.capacity, row.songs, ++seed);
    killAtRandom(
        row.what,
        [this] {
          table_.setPath(db_);
          table_.setWritable(true);
          return table_.open().ok();
        },
        [&] { return row.work(table_); });
  }
}

class SilentImport final : public media::ImportStatus {
 public:
  void setLine1(const std::string&) override {}
  void setLine2(const std::string&) override {}
};

TEST_F(TableMoveKillTest, Import) {
  // Fewer than 70 % of the slots occupied: the first addition compacts and cuts the table.
  build(400, 240, 5);
  const std::string music = dir_.file("Music") + "/";
  std::filesystem::create_directories(music + "Artist/Album");
  std::map<std::string, int> imported;
  for (int i = 0; i < 12; ++i) {
    const std::string path = music + "Artist/Album/track" + std::to_string(10 + i) + ".mp3";
    testing::writeText(path, "not really audio, number " + std::to_string(i));
    imported[path] = 0;
  }
  killAtRandom(
      "import", [] { return true; },
      [this, music] {
        Settings settings;
        resetAll(settings);
        resetRatingValues(settings);
        settings.setText(settings::kDatabasePath, db_);
        FakeEnv env;
        engine::SharedWords words;
        engine::SharedLock lock(words, env);
        TableHandle table;
        std::atomic<int32_t> changes{0};
        SilentImport status;
        media::Importer importer(lock, table, settings, status, changes);
        engine::Grant grant = lock.takeGrantDirectly(engine::kCodeImport);
        importer.runImportHolding(grant, music);
        return true;
      },
      imported);
}

}  // namespace
}  // namespace tunora

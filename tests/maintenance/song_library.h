// A small song table in a temporary folder for the maintenance tests: songs are added with the
// fields a test cares about; everything else is 0 or empty.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "library/song_columns.h"
#include "library/song_table.h"
#include "marlbase/table_handle.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {

struct TestSong {
  std::string path;
  std::string title;
  std::string artist;
  uint32_t score = 0;  // user 0's score
  uint32_t plays = 0;
};

// Creates the table (blank record in slot 0) and leaves it open for writing.
class SongLibrary {
 public:
  explicit SongLibrary(bool keep_blank = true) {
    path_ = dir_.file("songs.mbf");
    EXPECT_TRUE(createSongTable(table_, path_));
    table_.close();
    table_.setPath(path_);
    table_.setWritable(true);
    EXPECT_TRUE(table_.open().ok());
    if (!keep_blank) table_.setStatus(0, 5);
  }
  ~SongLibrary() { table_.close(); }

  int32_t add(const TestSong& song) {
    const int32_t slot = table_.allocate();
    EXPECT_GE(slot, 0);
    table_.writeText(slot, kColFileName, song.path);
    table_.writeText(slot, kColTitle, song.title);
    table_.writeText(slot, kColArtist, song.artist);
    table_.writeInt(slot, ratingColumn(0), song.score);
    table_.writeInt(slot, kColPlayCount, song.plays);
    return slot;
  }
  int32_t addPath(const std::string& path) { return add(TestSong{path}); }

  marlbase::TableHandle& table() { return table_; }
  const TempDir& dir() const { return dir_; }
  const std::string& path() const { return path_; }
  int32_t status(int32_t slot) const { return table_.peekStatus(slot).value_or(-1); }
  uint32_t number(int32_t slot, int32_t column) { return table_.readInt(slot, column).value_or(0); }
  std::vector<int32_t> live() {
    std::vector<int32_t> slots;
    for (uint32_t s = 0; s < table_.capacity(); ++s) {
      if (status(static_cast<int32_t>(s)) == 10) slots.push_back(static_cast<int32_t>(s));
    }
    return slots;
  }

 private:
  TempDir dir_;
  std::string path_;
  marlbase::TableHandle table_;
};

}  // namespace tunora::testing

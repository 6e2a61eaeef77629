// The one song-table builder of the tests: songs with the fields a test names (every other field
// 0 or empty, the artist and album "Artist" and "Album" unless named), written into a new song
// table; and SongLibrary, such a table in its own temporary folder, kept open for writing.
#pragma once

#include "library/song_columns.h"
#include "library/song_table.h"
#include "marlbase/table_handle.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {

struct LibrarySong {
  std::string path;
  std::string title;
  std::string artist = "Artist";
  std::string album = "Album";
  int32_t status = 10;  // 5: a deleted record
  uint32_t score = 0;   // user 0's rating score
  uint32_t plays = 0;
  uint32_t credit = 0;  // user 0's credit
  uint32_t flags = 0;
  uint32_t file_id = 0;
};

// Writes one song's fields into `slot`.
inline bool writeSong(marlbase::TableHandle& t, int32_t slot, const LibrarySong& s) {
  return t.writeText(slot, kColFileName, s.path) && t.writeText(slot, kColTitle, s.title) &&
         t.writeText(slot, kColArtist, s.artist) && t.writeText(slot, kColAlbum, s.album) &&
         t.writeInt(slot, ratingColumn(0), s.score) && t.writeInt(slot, kColPlayCount, s.plays) &&
         t.writeInt(slot, creditColumn(0), s.credit) && t.writeInt(slot, kColFlags, s.flags) &&
         t.writeInt(slot, kColFileId, s.file_id);
}

// Creates the song table at `path` with the songs in slots 1, 2, ... after the blank record, or
// from slot 0 on (the first song replacing the blank record) when `from_slot_0`. `numbered`:
// each song gets FileId 100 + its slot and the rating score 10 * slot + user for every user.
// Deleted songs are marked after all are written, so no slot is reused.
inline bool writeLibrary(const std::string& path, const std::vector<LibrarySong>& songs,
                         bool from_slot_0 = false, bool numbered = false) {
  marlbase::TableHandle t;
  if (!createSongTable(t, path)) return false;
  t.setBatch(true);
  std::vector<int32_t> slots;
  for (LibrarySong song : songs) {
    const int32_t slot = from_slot_0 && slots.empty() ? 0 : t.allocate();
    if (numbered) song.file_id = 100 + static_cast<uint32_t>(slot);
    if (slot < 0 || !writeSong(t, slot, song)) return false;
    for (int32_t user = 0; numbered && user < kUserCount; ++user) {
      if (!t.writeInt(slot, ratingColumn(user), static_cast<uint32_t>(10 * slot + user)))
        return false;
    }
    slots.push_back(slot);
  }
  t.setBatch(false);
  for (size_t i = 0; i < songs.size(); ++i) {
    if (t.setStatus(slots[i], songs[i].status) != 1) return false;  // also recounts
  }
  t.close();
  return true;
}

// `count` songs "/lib/song<i>.mp3" titled "Title <i>", i = 1..count.
inline std::vector<LibrarySong> numberedSongs(int count) {
  std::vector<LibrarySong> songs;
  for (int i = 1; i <= count; ++i) {
    songs.push_back({"/lib/song" + std::to_string(i) + ".mp3", "Title " + std::to_string(i)});
  }
  return songs;
}

// The numbered library after the blank record (see writeLibrary).
inline bool makeLibrary(const std::string& path, const std::vector<LibrarySong>& songs) {
  return writeLibrary(path, songs, false, true);
}

// A new song table (the blank record in slot 0, deleted unless `keep_blank`) in a temporary
// folder, open for writing.
class SongLibrary {
 public:
  explicit SongLibrary(bool keep_blank = true) {
    ok_ = createSongTable(table_, path_);
    table_.close();
    table_.setPath(path_);
    table_.setWritable(true);
    ok_ = ok_ && table_.open().ok();
    if (!keep_blank) table_.setStatus(0, 5);
  }
  ~SongLibrary() { table_.close(); }

  int32_t add(const LibrarySong& song) {
    const int32_t slot = table_.allocate();
    if (slot >= 0) writeSong(table_, slot, song);
    return slot;
  }
  int32_t addPath(const std::string& path) {
    return add({.path = path, .artist = "", .album = ""});
  }

  bool ok() const { return ok_; }
  marlbase::TableHandle& table() { return table_; }
  const TempDir& dir() const { return dir_; }
  const std::string& path() const { return path_; }
  int32_t status(int32_t slot) const { return table_.peekStatus(slot).value_or(-1); }
  uint32_t number(int32_t slot, int32_t column) { return table_.readInt(slot, column).value_or(0); }
  std::vector<int32_t> live() {
    std::vector<int32_t> slots;
    for (int32_t s = 0; s < static_cast<int32_t>(table_.capacity()); ++s) {
      if (status(s) == 10) slots.push_back(s);
    }
    return slots;
  }

 private:
  TempDir dir_;
  std::string path_ = dir_.file("songs.mbf");
  marlbase::TableHandle table_;
  bool ok_ = false;
};

}  // namespace tunora::testing

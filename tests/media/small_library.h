// Test helpers: a song table with named songs, and media files with an ID3v1 tag built byte by
// byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/song_columns.h"
#include "library/song_table.h"
#include "marlbase/table_handle.h"

namespace tunora::testing {

struct LibrarySong {
  std::string path;
  std::string title;
  std::string artist = "Artist";
  std::string album = "Album";
  int32_t status = 10;  // 5 for a deleted record
};

// `count` songs "/lib/song<i>.mp3" titled "Title <i>", i = 1..count.
inline std::vector<LibrarySong> numberedSongs(int count) {
  std::vector<LibrarySong> songs;
  for (int i = 1; i <= count; ++i) {
    songs.push_back({"/lib/song" + std::to_string(i) + ".mp3", "Title " + std::to_string(i)});
  }
  return songs;
}

// Creates the table at path: the blank record in slot 0, the songs in slots 1, 2, ... Each song
// gets FileId 100 + its slot and a rating score of 10 * slot + user for every user.
inline bool makeLibrary(const std::string& path, const std::vector<LibrarySong>& songs) {
  marlbase::TableHandle table;
  if (!createSongTable(table, path)) return false;
  for (const LibrarySong& song : songs) {
    const int32_t slot = table.allocate();
    if (slot < 1 || !table.writeText(slot, kColFileName, song.path) ||
        !table.writeText(slot, kColTitle, song.title) ||
        !table.writeText(slot, kColArtist, song.artist) ||
        !table.writeText(slot, kColAlbum, song.album) ||
        !table.writeInt(slot, kColFileId, 100 + static_cast<uint32_t>(slot))) {
      return false;
    }
    for (int32_t user = 0; user < kUserCount; ++user) {
      if (!table.writeInt(slot, ratingColumn(user), static_cast<uint32_t>(10 * slot + user))) {
        return false;
      }
    }
  }
  // Deleted records are marked after all are allocated, so no slot is reused.
  for (size_t i = 0; i < songs.size(); ++i) {
    if (songs[i].status != 10 && table.setStatus(static_cast<int32_t>(i + 1), songs[i].status) != 1) {
      return false;
    }
  }
  table.close();
  return true;
}

// 16 bytes of silence followed by an ID3v1 tag: "TAG", title, artist and album in 30-byte
// slots, year (4), comment (30), genre (1); unused bytes are NUL.
inline std::vector<uint8_t> id3v1File(const std::string& title, const std::string& artist,
                                      const std::string& album) {
  std::vector<uint8_t> bytes(16 + 128, 0);
  auto put = [&](size_t offset, const std::string& text) {
    for (size_t i = 0; i < text.size() && i < 30; ++i) bytes[16 + offset + i] = static_cast<uint8_t>(text[i]);
  };
  put(0, "TAG");
  put(3, title);
  put(33, artist);
  put(63, album);
  bytes[16 + 127] = 255;
  return bytes;
}

}  // namespace tunora::testing

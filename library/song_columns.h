// The columns of the song table, by name. Each user u (0..9) owns the column triple
// 12 + 3u (rating score), 13 + 3u (selection credit), 14 + 3u (reserved).
#pragma once

#include <cstdint>

namespace tunora {

inline constexpr int32_t kSongColumnCount = 44;
// 4 (status) + 1000 (path) + 8 texts of 64 + 35 integers of 4.
inline constexpr uint32_t kSongRecordSize = 4 + 1000 + 8 * 64 + 35 * 4;

inline constexpr int32_t kColFileName = 1;     // type 14: full path of the media file
inline constexpr int32_t kColTitle = 2;        // type 12
inline constexpr int32_t kColArtist = 3;       // type 12
inline constexpr int32_t kColAlbum = 4;        // type 12
inline constexpr int32_t kColNote = 6;         // type 12: notes and comments
inline constexpr int32_t kColReserved10 = 10;  // set to 0 when a song is added, never read
inline constexpr int32_t kColFileId = 11;      // content checksum; 0 = none computed
inline constexpr int32_t kColFlags = 41;       // bits 0-1 naughty level, bit 2 lock
// Start and end points in milliseconds from the start of the media, for audio and video alike
// (the media window's positions); 0 = from the beginning / to the end.
inline constexpr int32_t kColStartFrame = 42;
inline constexpr int32_t kColEndFrame = 43;
inline constexpr int32_t kColPlayCount = 44;

inline constexpr int32_t kUserCount = 10;
constexpr int32_t ratingColumn(int32_t user) { return 12 + 3 * user; }
constexpr int32_t creditColumn(int32_t user) { return 13 + 3 * user; }

inline constexpr uint32_t kFlagNaughtyMask = 0x3;
inline constexpr uint32_t kFlagLock = 0x4;

// The song text columns (title, artist, album, note) hold at most this many bytes.
inline constexpr uint32_t kSongTextMax = 63;
inline constexpr uint32_t kSongPathMax = 999;

}  // namespace tunora

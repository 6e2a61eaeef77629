// The fields of the media filler's 1000-byte block inside the settings record.
//
// Block layout (offsets inside the block; add 5778 for the record offset):
//   0 fill size index 0..7        36 "All" switch             56 "Empty Dir"
//   4..32 the eight type switches 40 naughty limit index      60 "Add Number"
//         MP3 AVI WAV MPEG MIDI   44 minimum rating index     64..79 unused
//         WMA ASF WMV             48 user index               80 output folder, 600 bytes
//                                 52 alt mode index           680..999 unused (684: the
//                                                             player's buffer level)
#pragma once

#include "settings/settings_layout.h"

namespace tunora::settings {

constexpr IntField fillerInt(uint32_t block_offset) {
  return IntField{kFillerBlockOffset + block_offset};
}

inline constexpr IntField kFillSizeIndex = fillerInt(0);
inline constexpr IntField kFillPlayMp3 = fillerInt(4);
inline constexpr IntField kFillPlayAvi = fillerInt(8);
inline constexpr IntField kFillPlayWav = fillerInt(12);
inline constexpr IntField kFillPlayMpeg = fillerInt(16);
inline constexpr IntField kFillPlayMidi = fillerInt(20);
inline constexpr IntField kFillPlayWma = fillerInt(24);
inline constexpr IntField kFillPlayAsf = fillerInt(28);
inline constexpr IntField kFillPlayWmv = fillerInt(32);
inline constexpr IntField kFillPlayAll = fillerInt(36);
inline constexpr IntField kFillNaughtyLimit = fillerInt(40);
inline constexpr IntField kFillMinRating = fillerInt(44);
inline constexpr IntField kFillUser = fillerInt(48);
inline constexpr IntField kFillAltMode = fillerInt(52);
inline constexpr IntField kFillEmptyDir = fillerInt(56);
inline constexpr IntField kFillAddNumber = fillerInt(60);
inline constexpr uint32_t kFillUnusedA = 64;  // block offsets 64..79
inline constexpr uint32_t kFillUnusedAEnd = 80;
inline constexpr TextField kFillOutputDir{kFillerBlockOffset + 80, kPathSize};
inline constexpr uint32_t kFillUnusedB = 680;  // block offsets 680..999
inline constexpr uint32_t kFillUnusedBEnd = kFillerBlockSize;

inline constexpr int32_t kFillSizeDefault = 5;  // "4 GB"

static_assert(endOf(kFillAddNumber) == kFillerBlockOffset + kFillUnusedA);
static_assert(kFillOutputDir.offset == kFillerBlockOffset + kFillUnusedAEnd);
static_assert(endOf(kFillOutputDir) == kFillerBlockOffset + kFillUnusedB);
static_assert(kBufferLevel.offset >= kFillerBlockOffset + kFillUnusedB &&
              endOf(kBufferLevel) <= kFillerBlockOffset + kFillUnusedBEnd);

}  // namespace tunora::settings

// The byte layout of a table file, as constants, and the column types' widths.
//
// A table file is a 1444-byte header, 8 bytes of column descriptor per column, then the record
// slots. See FORMAT.md beside this file for the whole layout.
#pragma once

#include <cstdint>
#include <cstring>

namespace tunora::marlbase {

inline constexpr char kMagic[4] = {'D', 'A', 'T', 'A'};
inline constexpr char kVersion[4] = {'1', '0', '0', '0'};

inline constexpr uint32_t kHeaderFlagOffset = 608;
inline constexpr uint32_t kConstantTwoOffset = 1352;  // holds 2
inline constexpr uint32_t kColumnCountOffset = 1356;
inline constexpr uint32_t kCapacityOffset = 1360;
inline constexpr uint32_t kConstantTwoBOffset = 1364;  // holds 2
inline constexpr uint32_t kDescriptorOffset = 1444;    // end of the header
inline constexpr uint32_t kDescriptorSize = 4 + 4;     // type code + field offset in slot 0
inline constexpr uint32_t kCreateZeroFill = 5000;      // zero bytes written after the header
inline constexpr uint32_t kStatusSize = 4;             // every slot starts with its status word
inline constexpr uint32_t kInitialCapacity = 10;
inline constexpr uint32_t kCreatedSlots = 15;  // slots zero-filled by finishColumns

// Status words of a slot.
inline constexpr int32_t kStatusUnused = 0;
inline constexpr int32_t kStatusDeleted = 5;
inline constexpr int32_t kStatusLive = 10;
// A slot whose status is above this counts as occupied by the slot statistics and lookups.
inline constexpr int32_t kHighestFreeStatus = 9;

// The widest column (type 15) is 5000 bytes; the text value buffer holds any text column.
inline constexpr uint32_t kTextBufferSize = 5000;
inline constexpr uint32_t kSearchKeySize = 1024;
inline constexpr uint32_t kMaxPathLength = 600;

// Limits on what open accepts from a header, so that a hostile file cannot make the engine
// allocate or address absurd amounts.
inline constexpr uint32_t kMaxColumns = 100'000;
inline constexpr uint32_t kMaxCapacity = 0x7FFF'FFFF;

// Types 0..9 are integer columns, 10 and above text columns.
constexpr bool isTextType(uint32_t type) { return type >= 10; }

// The number of bytes a field of this type takes in every record.
constexpr uint32_t fieldWidth(uint32_t type) {
  switch (type) {
    case 0:
      return 1;
    case 1:
      return 2;
    case 2:
      return 4;
    case 3:
      return 8;
    case 4:
      return 16;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
      return 64;
    case 10:
      return 4;
    case 11:
      return 16;
    case 12:
      return 64;
    case 13:
      return 300;
    case 14:
      return 1000;
    case 15:
      return 5000;
    default:
      return 64;
  }
}

inline uint32_t loadU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline void storeU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// The 32-bit FNV-1a checksum the journal and the sort image keep of their own bytes.
inline uint32_t fnv1a32(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

}  // namespace tunora::marlbase

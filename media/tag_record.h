// The tag record: what the tag reader found in one media file. Each read fills its own record,
// so any number of threads may read tags at once.
#pragma once

#include <cstdint>
#include <string>

namespace tunora::media {

// The text the fields hold when the file has no such information.
inline constexpr char kNoData[] = "No Data";
// The text fields hold at most this many bytes of UTF-8, cut at a character boundary.
inline constexpr size_t kTagTextMax = 599;
inline constexpr size_t kTagYearMax = 4;

// kAsf: the content description of an ASF file (WMA, ASF, WMV); kRiff: the INFO list or
// "id3 " chunk of a WAV file.
enum class TagKind { kNone, kId3v1, kId3v2, kAsf, kRiff };

struct TagRecord {
  std::string title;  // default: the last component of the file's path
  std::string artist = kNoData;
  std::string album = kNoData;
  std::string comment = kNoData;
  std::string year = kNoData;
  int genre = -1;                 // the ID3v1 genre byte; -1 when there is none
  int32_t track_number = 0;       // 0 when the tag has none
  std::string genre_name;         // empty when the tag names none
  TagKind kind = TagKind::kNone;  // which tag the texts came from
};

}  // namespace tunora::media

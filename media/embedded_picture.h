// The picture embedded in a media file's ID3v2 tag (frames "APIC" of versions 2.3 and 2.4,
// "PIC" of 2.2): the front cover (picture type 3) when there is one, else the first picture.
// Reading is bounded: a picture above kMaxEmbeddedPicture bytes, or a damaged tag, gives none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/tag_source.h"

namespace tunora::media {

inline constexpr size_t kMaxEmbeddedPicture = 16 * 1024 * 1024;

struct EmbeddedPicture {
  std::string mime;            // "image/jpeg", "image/png", ... ("JPG"/"PNG" for 2.2)
  int32_t picture_type = 0;    // 3 = front cover
  std::vector<uint8_t> bytes;  // the encoded picture
};

std::optional<EmbeddedPicture> readEmbeddedPicture(TagSource& source);
std::optional<EmbeddedPicture> readEmbeddedPicture(const std::string& path);
// Whether the file's tag holds a picture (reads the frame headers, not the picture).
bool hasEmbeddedPicture(const std::string& path);

}  // namespace tunora::media

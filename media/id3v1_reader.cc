// ID3v1 tag reading.
//
// Layout, the last 128 bytes of the file: "TAG", title (30 bytes), artist (30), album (30),
// year (4), comment (30), genre (1). Texts are single-byte, padded with 0 or blanks. Version 1.1
// puts a 0 at comment byte 28 and the track number at byte 29, so the comment's text ends at 28.
#include "media/id3v1_reader.h"

#include <array>
#include <cstring>

#include "media/genre_names.h"
#include "media/tag_text.h"

namespace tunora::media {
namespace {

constexpr size_t kTagSize = 3 + 30 + 30 + 30 + 4 + 30 + 1;
constexpr size_t kTitleOffset = 3;
constexpr size_t kArtistOffset = kTitleOffset + 30;
constexpr size_t kAlbumOffset = kArtistOffset + 30;
constexpr size_t kYearOffset = kAlbumOffset + 30;
constexpr size_t kCommentOffset = kYearOffset + 4;
constexpr size_t kGenreOffset = kCommentOffset + 30;
static_assert(kGenreOffset + 1 == kTagSize && kTagSize == 128);

// Title and year: a blank field keeps the default (the file name, "No Data").
void takeField(std::span<const uint8_t> field, std::string& target) {
  std::string text = decodeId3v1Field(field);
  if (!text.empty()) target = std::move(text);
}

}  // namespace

bool readId3v1(TagSource& source, TagRecord& record) {
  if (source.size() < kTagSize) return false;
  std::array<uint8_t, kTagSize> tag{};
  if (source.readAt(source.size() - kTagSize, tag) != kTagSize) return false;
  if (std::memcmp(tag.data(), "TAG", 3) != 0) return false;
  const std::span<const uint8_t> bytes(tag);
  record.kind = TagKind::kId3v1;
  takeField(bytes.subspan(kTitleOffset, 30), record.title);
  record.artist = decodeId3v1Field(bytes.subspan(kArtistOffset, 30));
  record.album = decodeId3v1Field(bytes.subspan(kAlbumOffset, 30));
  takeField(bytes.subspan(kYearOffset, 4), record.year);
  cutUtf8(record.year, kTagYearMax);
  record.comment = decodeId3v1Field(bytes.subspan(kCommentOffset, 30));
  record.genre = tag[kGenreOffset];
  record.genre_name = id3v1GenreName(record.genre);
  if (tag[kCommentOffset + 28] == 0 && tag[kCommentOffset + 29] != 0) {
    record.track_number = tag[kCommentOffset + 29];
  }
  return true;
}

}  // namespace tunora::media

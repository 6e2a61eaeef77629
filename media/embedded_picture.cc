// The picture embedded in an ID3v2 tag, from the frames the walk (id3v2_frames.h) meets.
//
// APIC body: text encoding, MIME type (Latin-1, NUL-terminated), picture type, description
// (terminated by a NUL in the text encoding: two bytes for UTF-16), picture bytes. PIC body
// (2.2): encoding, 3-byte image format, picture type, description, picture bytes.
#include "media/embedded_picture.h"

#include <cstring>

#include "media/id3v2_frames.h"

namespace tunora::media {

namespace {

constexpr int32_t kFrontCover = 3;
// A frame larger than this cannot hold a picture we would show.
constexpr uint64_t kMaxFrame = kMaxEmbeddedPicture + 64 * 1024;

// A picture frame whose data can be read.
bool isPictureFrame(const Id3v2Frame& frame) {
  return frame.id() == (frame.version() == 2 ? "PIC" : "APIC") && frame.size() > 0 &&
         frame.size() <= kMaxFrame && frame.readable();
}

// The picture of one frame's data; nullopt when it is malformed.
std::optional<EmbeddedPicture> parseBody(const std::vector<uint8_t>& body, bool v22) {
  EmbeddedPicture picture;
  size_t pos = 0;
  if (body.empty()) return std::nullopt;
  const uint8_t encoding = body[pos++];
  if (v22) {
    if (body.size() < pos + 3) return std::nullopt;
    picture.mime.assign(reinterpret_cast<const char*>(body.data() + pos), 3);
    pos += 3;
  } else {
    const auto* nul =
        static_cast<const uint8_t*>(std::memchr(body.data() + pos, 0, body.size() - pos));
    if (nul == nullptr) return std::nullopt;
    picture.mime.assign(reinterpret_cast<const char*>(body.data() + pos),
                        static_cast<size_t>(nul - (body.data() + pos)));
    pos = static_cast<size_t>(nul - body.data()) + 1;
  }
  if (pos >= body.size()) return std::nullopt;
  picture.picture_type = body[pos++];
  const bool wide = encoding == 1 || encoding == 2;
  if (wide) {
    while (pos + 1 < body.size() && (body[pos] != 0 || body[pos + 1] != 0)) pos += 2;
    pos += 2;
  } else {
    while (pos < body.size() && body[pos] != 0) ++pos;
    pos += 1;
  }
  if (pos >= body.size()) return std::nullopt;
  picture.bytes.assign(body.begin() + static_cast<ptrdiff_t>(pos), body.end());
  return picture;
}

}  // namespace

std::optional<EmbeddedPicture> readEmbeddedPicture(TagSource& source) {
  std::optional<EmbeddedPicture> first;
  std::optional<EmbeddedPicture> front;
  walkId3v2Frames(source, [&](const Id3v2Frame& frame) {
    if (!isPictureFrame(frame)) return true;
    const std::optional<std::vector<uint8_t>> data = frame.data(kMaxFrame);
    if (!data) return true;
    std::optional<EmbeddedPicture> picture = parseBody(*data, frame.version() == 2);
    if (!picture || picture->bytes.empty() || picture->bytes.size() > kMaxEmbeddedPicture) {
      return true;
    }
    if (picture->picture_type == kFrontCover) {
      front = std::move(picture);
      return false;
    }
    if (!first) first = std::move(picture);
    return true;
  });
  return front ? front : first;
}

std::optional<EmbeddedPicture> readEmbeddedPicture(const std::string& path) {
  FileTagSource source;
  if (!source.open(path)) return std::nullopt;
  return readEmbeddedPicture(source);
}

bool hasEmbeddedPicture(const std::string& path) {
  FileTagSource source;
  if (!source.open(path)) return false;
  bool found = false;
  walkId3v2Frames(source, [&found](const Id3v2Frame& frame) {
    found = isPictureFrame(frame);
    return !found;
  });
  return found;
}

}  // namespace tunora::media

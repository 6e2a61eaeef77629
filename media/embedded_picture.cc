// The picture embedded in an ID3v2 tag.
//
// Tag header, 10 bytes: "ID3", major version (2, 3, 4), revision, flags, syncsafe size (4 bytes
// of 7 bits) of the tag after the header. Flags: 0x80 unsynchronisation (2.2 and 2.3: the whole
// tag), 0x40 extended header (2.3, 2.4; compression in 2.2, which nobody defined: ignored).
// Frames: 2.2 "PIC" with a 3-byte id and 3-byte size; 2.3 "APIC" with 4-byte id, 4-byte size and
// 2 flag bytes; 2.4 the same with a syncsafe size. Frame flags (second byte): 2.3 0x80
// compressed, 0x40 encrypted, 0x20 group byte; 2.4 0x40 group byte, 0x08 compressed, 0x04
// encrypted, 0x02 unsynchronised, 0x01 4-byte data length.
// APIC body: text encoding, MIME type (Latin-1, NUL-terminated), picture type, description
// (terminated by a NUL in the text encoding: two bytes for UTF-16), picture bytes. PIC body:
// encoding, 3-byte image format, picture type, description, picture bytes.
#include "ui/embedded_picture.h"

#include <algorithm>
#include <cstring>

namespace tunora::ui {

namespace {

constexpr size_t kHeaderSize = 10;
constexpr uint8_t kUnsyncFlag = 0x80;
constexpr uint8_t kExtendedHeaderFlag = 0x40;
constexpr int32_t kFrontCover = 3;
// A frame larger than this cannot hold a picture we would show.
constexpr uint64_t kMaxFrame = kMaxEmbeddedPicture + 64 * 1024;
// A tag unsynchronised as a whole is read into memory up to this size.
constexpr uint64_t kMaxUnsyncTag = 2 * kMaxFrame;

uint32_t syncsafe(const uint8_t* b) {
  return (uint32_t{b[0]} & 0x7F) << 21 | (uint32_t{b[1]} & 0x7F) << 14 |
         (uint32_t{b[2]} & 0x7F) << 7 | (uint32_t{b[3]} & 0x7F);
}
uint32_t bigEndian(const uint8_t* b, size_t n) {
  uint32_t v = 0;
  for (size_t i = 0; i < n; ++i) v = v << 8 | b[i];
  return v;
}
bool validId(const uint8_t* id, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const bool ok = (id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9');
    if (!ok) return false;
  }
  return true;
}
std::vector<uint8_t> removeUnsync(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && i + 1 < in.size() && in[i + 1] == 0x00) ++i;
  }
  return out;
}
bool readExact(media::TagSource& source, uint64_t offset, std::vector<uint8_t>& out, size_t n) {
  out.resize(n);
  return source.readAt(offset, out) == n;
}

// The picture of one frame body; nullopt when it is malformed.
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

// Walks the frames of the tag; with want_bytes false, stops at the first picture frame's header
// and returns an empty picture.
std::optional<EmbeddedPicture> walk(media::TagSource& source, bool want_bytes) {
  std::vector<uint8_t> header;
  if (!readExact(source, 0, header, kHeaderSize) || std::memcmp(header.data(), "ID3", 3) != 0) {
    return std::nullopt;
  }
  const uint8_t version = header[3];
  const uint8_t flags = header[5];
  if (version < 2 || version > 4) return std::nullopt;
  if (version == 2 && (flags & kExtendedHeaderFlag) != 0) return std::nullopt;
  const uint64_t tag_end = std::min<uint64_t>(kHeaderSize + syncsafe(&header[6]), source.size());

  // A tag unsynchronised as a whole (2.2, 2.3) is read and repaired in memory first.
  std::vector<uint8_t> repaired;
  std::optional<media::MemoryTagSource> memory;
  media::TagSource* src = &source;
  uint64_t pos = kHeaderSize;
  uint64_t end = tag_end;
  if ((flags & kUnsyncFlag) != 0 && version < 4) {
    std::vector<uint8_t> raw;
    const uint64_t n = std::min(tag_end - kHeaderSize, kMaxUnsyncTag);
    raw.resize(static_cast<size_t>(n));
    raw.resize(source.readAt(kHeaderSize, raw));
    repaired = removeUnsync(raw);
    memory.emplace(repaired);
    src = &*memory;
    pos = 0;
    end = repaired.size();
  }
  if ((flags & kExtendedHeaderFlag) != 0) {
    std::vector<uint8_t> ext;
    if (!readExact(*src, pos, ext, 4)) return std::nullopt;
    pos += version == 3 ? 4 + uint64_t{bigEndian(ext.data(), 4)} : uint64_t{syncsafe(ext.data())};
  }

  const size_t id_size = version == 2 ? 3 : 4;
  const size_t frame_header = version == 2 ? 6 : 10;
  std::optional<EmbeddedPicture> first;
  std::vector<uint8_t> fh;
  while (pos + frame_header <= end && readExact(*src, pos, fh, frame_header)) {
    if (!validId(fh.data(), id_size)) break;  // padding or damage
    uint64_t size = version == 2   ? bigEndian(&fh[3], 3)
                    : version == 3 ? bigEndian(&fh[4], 4)
                                   : syncsafe(&fh[4]);
    // Some writers put plain sizes into 2.4 frames.
    if (version == 4 && (fh[4] & 0x80 || fh[5] & 0x80 || fh[6] & 0x80 || fh[7] & 0x80)) {
      size = bigEndian(&fh[4], 4);
    }
    const uint64_t body_at = pos + frame_header;
    pos = body_at + size;
    if (pos > end) break;
    const bool picture_frame = std::memcmp(fh.data(), version == 2 ? "PIC" : "APIC", id_size) == 0;
    if (!picture_frame || size == 0 || size > kMaxFrame) continue;
    uint64_t skip = 0;
    bool unsync = false;
    if (version == 3) {
      if ((fh[9] & 0xC0) != 0) continue;  // compressed or encrypted
      if ((fh[9] & 0x20) != 0) skip += 1;
    } else if (version == 4) {
      if ((fh[9] & 0x0C) != 0) continue;
      if ((fh[9] & 0x40) != 0) skip += 1;
      if ((fh[9] & 0x01) != 0) skip += 4;
      unsync = (fh[9] & 0x02) != 0 || (flags & kUnsyncFlag) != 0;
    }
    if (skip >= size) continue;
    if (!want_bytes) return EmbeddedPicture{};
    std::vector<uint8_t> body;
    if (!readExact(*src, body_at + skip, body, static_cast<size_t>(size - skip))) break;
    if (unsync) body = removeUnsync(body);
    std::optional<EmbeddedPicture> picture = parseBody(body, version == 2);
    if (!picture || picture->bytes.empty() || picture->bytes.size() > kMaxEmbeddedPicture) {
      continue;
    }
    if (picture->picture_type == kFrontCover) return picture;
    if (!first) first = std::move(picture);
  }
  return first;
}

}  // namespace

std::optional<EmbeddedPicture> readEmbeddedPicture(media::TagSource& source) {
  return walk(source, true);
}

std::optional<EmbeddedPicture> readEmbeddedPicture(const std::string& path) {
  media::FileTagSource source;
  if (!source.open(path)) return std::nullopt;
  return walk(source, true);
}

bool hasEmbeddedPicture(const std::string& path) {
  media::FileTagSource source;
  if (!source.open(path)) return false;
  return walk(source, false).has_value();
}

}  // namespace tunora::ui

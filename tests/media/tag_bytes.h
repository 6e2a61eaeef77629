// Hand-made tag bytes for the tag reader's tests, laid out from the tag formats (not from the
// reader): concatenation, integers in either byte order, ID3v2 tags and frames, an ID3v1 tag.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tunora::media::tag_bytes {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }
inline Bytes be32(uint32_t v) {
  return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}
inline Bytes le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
inline Bytes safe32(uint32_t v) {
  return {uint8_t(v >> 21 & 127), uint8_t(v >> 14 & 127), uint8_t(v >> 7 & 127), uint8_t(v & 127)};
}
// An ID3v2 tag header with the given version, flags and syncsafe size, followed by body.
inline Bytes tag(uint8_t version, uint8_t flags, const Bytes& body) {
  return text("ID3") + Bytes{version, 0, flags} + safe32(uint32_t(body.size())) + body;
}
inline Bytes frame22(std::string_view id, const Bytes& body) {
  const auto n = uint32_t(body.size());
  return text(id) + Bytes{uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)} + body;
}
inline Bytes frame23(std::string_view id, const Bytes& body, uint16_t flags = 0) {
  return text(id) + be32(uint32_t(body.size())) + Bytes{uint8_t(flags >> 8), uint8_t(flags)} + body;
}
inline Bytes frame24(std::string_view id, const Bytes& body, uint16_t flags = 0) {
  return text(id) + safe32(uint32_t(body.size())) + Bytes{uint8_t(flags >> 8), uint8_t(flags)} +
         body;
}
inline Bytes latin1(std::string_view s) { return Bytes{0} + text(s); }

// The 128 bytes of an ID3v1 tag: "TAG", title, artist and album in 30 bytes each, the year in 4,
// the comment in 28, a 0 and the track (version 1.1), the genre byte; unused bytes are NUL.
inline Bytes id3v1(const std::string& title, const std::string& artist, const std::string& album,
                   const std::string& year, const std::string& comment, uint8_t track,
                   uint8_t genre) {
  Bytes out = text("TAG");
  for (const auto& [field, width] :
       {std::pair{&title, size_t{30}}, {&artist, 30}, {&album, 30}, {&year, 4}, {&comment, 28}}) {
    Bytes bytes = text(field->substr(0, width));
    bytes.resize(width, 0);
    out = out + bytes;
  }
  return out + Bytes{0, track, genre};
}

}  // namespace tunora::media::tag_bytes

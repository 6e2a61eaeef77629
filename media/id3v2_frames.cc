// The walk over an ID3v2 tag's frames.
//
// Layout (all integers big-endian):
//   Tag header, 10 bytes: "ID3", major version (2, 3 or 4), revision, flags, size (4 bytes of 7
//   bits each, "syncsafe": the tag's size after the header, footer excluded).
//   Header flags: 0x80 unsynchronisation (2.2, 2.3: the whole tag after the header; 2.4: every
//   frame), 0x40 extended header (2.3, 2.4; in 2.2 it means compression, which no one defined, so
//   such a tag is ignored), 0x10 footer (2.4, after the tag; nothing to read).
//   Extended header: 2.3: 4-byte size not counting itself, then that many bytes; 2.4: syncsafe
//   size counting itself.
//   Frames, until the tag ends or padding (a 0 byte where an id would start):
//     2.2: 3-byte id, 3-byte size.
//     2.3: 4-byte id, 4-byte size, 2 flag bytes.
//     2.4: 4-byte id, 4-byte syncsafe size, 2 flag bytes. (Some old writers put plain sizes
//          here; see frameSize24.)
//   Second flag byte: 2.3: 0x80 compressed, 0x40 encrypted, 0x20 group byte follows.
//                     2.4: 0x40 group byte, 0x08 compressed, 0x04 encrypted,
//                          0x02 unsynchronised, 0x01 4-byte data length follows.
//   Unsynchronisation inserts a 0 byte after every 0xFF; reading removes it again.
#include "media/id3v2_frames.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

namespace tunora::media {

constexpr size_t kTagHeaderSize = 10;
constexpr size_t kWindowSize = 4096;
// A tag unsynchronised as a whole is read into memory; at most this much of it.
constexpr uint64_t kMaxUnsyncTag = 16 * 1024 * 1024;

// A cached stretch of the source, so that walking small frames costs one read per 4 KB. It hands
// out copies only: a pointer into the cache would read other bytes after the next refill.
class Id3v2ByteWindow {
 public:
  explicit Id3v2ByteWindow(TagSource& source) : source_(source) {}

  // Copies the out.size() bytes at offset into out; false when the source ends before them.
  [[nodiscard]] bool copy(uint64_t offset, std::span<uint8_t> out) {
    if (out.size() > kWindowSize) return source_.readAt(offset, out) == out.size();
    if (offset < start_ || offset - start_ + out.size() > bytes_.size()) {
      bytes_.resize(kWindowSize);
      bytes_.resize(source_.readAt(offset, bytes_));
      start_ = offset;
      if (out.size() > bytes_.size()) return false;
    }
    std::memcpy(out.data(), bytes_.data() + (offset - start_), out.size());
    return true;
  }

 private:
  TagSource& source_;
  uint64_t start_ = 0;
  std::vector<uint8_t> bytes_;
};

namespace {

uint32_t syncsafe(const uint8_t* p) {
  return uint32_t{p[0]} << 21 | uint32_t{p[1]} << 14 | uint32_t{p[2]} << 7 | p[3];
}
uint32_t bigEndian(const uint8_t* p, size_t n) {
  uint32_t v = 0;
  for (size_t i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

std::vector<uint8_t> undoUnsync(std::span<const uint8_t> in) {
  std::vector<uint8_t> out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && i + 1 < in.size() && in[i + 1] == 0x00) ++i;
  }
  return out;
}

bool isIdChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

class FrameWalk {
 public:
  FrameWalk(TagSource& source, int version, bool unsync_frames)
      : window_(source), version_(version), unsync_frames_(unsync_frames) {}

  // Walks the frames in [begin, end) of the source.
  void walk(uint64_t begin, uint64_t end, const Id3v2FrameVisitor& visit) {
    const size_t id_size = version_ == 2 ? 3 : 4;
    const size_t header_size = version_ == 2 ? 6 : 10;
    uint64_t pos = begin;
    while (pos + header_size <= end) {
      std::array<uint8_t, 10> h{};
      if (!window_.copy(pos, std::span(h).first(header_size))) return;  // the source ended
      if (h[0] == 0) return;                                            // padding
      if (!std::all_of(h.begin(), h.begin() + id_size, isIdChar)) return;
      std::string id(h.begin(), h.begin() + id_size);
      uint64_t size = 0;
      uint16_t flags = 0;
      if (version_ == 2) {
        size = bigEndian(h.data() + 3, 3);
      } else {
        flags = static_cast<uint16_t>(h[8] << 8 | h[9]);
        size = version_ == 3 ? bigEndian(h.data() + 4, 4)
                             : frameSize24(h.data() + 4, pos + header_size, end);
      }
      const uint64_t body = pos + header_size;
      if (size > end - body) return;
      if (!visit(Id3v2Frame(window_, version_, std::move(id), body, size, flags, unsync_frames_))) {
        return;
      }
      pos = body + size;
    }
  }

 private:
  // A 2.4 frame size is syncsafe, but some writers stored plain integers. A size with any high
  // bit set can only be plain. Otherwise, when the two readings differ, the syncsafe one is kept
  // unless it lands on something that cannot follow a frame while the plain one does not.
  // p is the caller's copy of the four size bytes (checking the readings refills the window).
  uint64_t frameSize24(const uint8_t* p, uint64_t body, uint64_t end) {
    const uint32_t plain = bigEndian(p, 4);
    if ((p[0] | p[1] | p[2] | p[3]) & 0x80) return plain;
    const uint32_t safe = syncsafe(p);
    if (safe == plain || canFollowFrame(body + safe, end) || !canFollowFrame(body + plain, end)) {
      return safe;
    }
    return plain;
  }

  // True when a frame ending at pos leaves the tag's end, padding, or another frame's id.
  bool canFollowFrame(uint64_t pos, uint64_t end) {
    if (pos == end) return true;
    if (pos > end) return false;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(4, end - pos));
    std::array<uint8_t, 4> q{};
    if (!window_.copy(pos, std::span(q).first(n))) return false;
    if (std::all_of(q.begin(), q.begin() + n, [](uint8_t c) { return c == 0; })) return true;
    return n == 4 && std::all_of(q.begin(), q.end(), isIdChar);
  }

  Id3v2ByteWindow window_;
  int version_;
  bool unsync_frames_;
};

// The offset of the first frame after the extended header at pos, or 0 when it is damaged.
uint64_t skipExtendedHeader(TagSource& source, int version, uint64_t pos, uint64_t end) {
  std::array<uint8_t, 4> size_bytes{};
  if (pos + 4 > end || source.readAt(pos, size_bytes) != 4) return 0;
  const uint64_t size = version == 3 ? uint64_t{bigEndian(size_bytes.data(), 4)} + 4
                                     : uint64_t{syncsafe(size_bytes.data())};
  if (size < 6 || size > end - pos) return 0;
  return pos + size;
}

}  // namespace

bool Id3v2Frame::readable() const {
  if (version_ == 3) return (flags_ & 0x00C0) == 0;  // compressed or encrypted
  if (version_ == 4) return (flags_ & 0x000C) == 0;
  return true;
}

std::optional<std::vector<uint8_t>> Id3v2Frame::data(uint64_t max_read) const {
  if (!readable()) return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min(size_, max_read)));
  if (!window_.copy(body_, bytes)) return std::nullopt;
  size_t skip = 0;
  bool unsync = false;
  if (version_ == 3) {
    if (flags_ & 0x0020) skip += 1;  // group byte
  } else if (version_ == 4) {
    if (flags_ & 0x0040) skip += 1;  // group byte
    if (flags_ & 0x0001) skip += 4;  // data length
    unsync = tag_unsync_ || (flags_ & 0x0002);
  }
  const std::span<const uint8_t> rest =
      std::span<const uint8_t>(bytes).subspan(std::min(skip, bytes.size()));
  if (unsync) return undoUnsync(rest);
  if (skip == 0) return bytes;
  return std::vector<uint8_t>(rest.begin(), rest.end());
}

bool walkId3v2Frames(TagSource& source, const Id3v2FrameVisitor& visit) {
  std::array<uint8_t, kTagHeaderSize> h{};
  if (source.readAt(0, h) != h.size()) return false;
  if (std::memcmp(h.data(), "ID3", 3) != 0) return false;
  const int version = h[3];
  if (version < 2 || version > 4 || h[4] == 0xFF) return false;
  if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return false;
  const uint8_t flags = h[5];
  if (version == 2 && (flags & 0x40)) return false;  // compressed: no known scheme
  const uint64_t end = std::min<uint64_t>(kTagHeaderSize + syncsafe(h.data() + 6), source.size());
  const bool has_extended = version >= 3 && (flags & 0x40);

  if (version <= 3 && (flags & 0x80)) {
    // The whole tag is unsynchronised: frame headers included. Undo it in memory, then walk.
    std::vector<uint8_t> raw(
        static_cast<size_t>(std::min<uint64_t>(end - kTagHeaderSize, kMaxUnsyncTag)));
    raw.resize(source.readAt(kTagHeaderSize, raw));
    const std::vector<uint8_t> plain = undoUnsync(raw);
    MemoryTagSource memory(plain);
    uint64_t begin = 0;
    if (has_extended) begin = skipExtendedHeader(memory, version, 0, plain.size());
    if (has_extended && begin == 0) return true;
    FrameWalk(memory, version, false).walk(begin, plain.size(), visit);
    return true;
  }
  uint64_t begin = kTagHeaderSize;
  if (has_extended) begin = skipExtendedHeader(source, version, kTagHeaderSize, end);
  if (begin == 0) return true;
  FrameWalk(source, version, version == 4 && (flags & 0x80)).walk(begin, end, visit);
  return true;
}

}  // namespace tunora::media

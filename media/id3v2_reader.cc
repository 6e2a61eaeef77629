// ID3v2 tag reading.
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
//   Text frames ("TIT2"/"TT2" ...): encoding byte, then the text. Comment ("COMM"/"COM"):
//   encoding byte, 3-byte language, description (terminated), text. The track ("TRCK"/"TRK",
//   "3/12") and the genre ("TCON"/"TCO", "(17)" or a name) are text frames too.
#include "media/id3v2_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "media/genre_names.h"
#include "media/tag_text.h"
#include "util/text_codec.h"

namespace tunora::media {
namespace {

constexpr size_t kTagHeaderSize = 10;
constexpr size_t kWindowSize = 4096;
// At most this much of a wanted frame is read; the texts kept are far shorter.
constexpr size_t kMaxFrameRead = 64 * 1024;
// A tag unsynchronised as a whole is read into memory; at most this much of it.
constexpr uint64_t kMaxUnsyncTag = 16 * 1024 * 1024;

// A cached stretch of the source, so that walking small frames costs one read per 4 KB. It hands
// out copies only: a pointer into the cache would read other bytes after the next refill.
class ByteWindow {
 public:
  explicit ByteWindow(TagSource& source) : source_(source) {}

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

enum class Field { kNone, kTitle, kArtist, kAlbum, kYear, kComment, kUserText, kTrack, kGenre };

Field fieldOf(std::string_view id) {
  if (id == "TIT2" || id == "TT2") return Field::kTitle;
  if (id == "TPE1" || id == "TP1") return Field::kArtist;
  if (id == "TALB" || id == "TAL") return Field::kAlbum;
  if (id == "TYER" || id == "TDRC" || id == "TYE") return Field::kYear;
  if (id == "COMM" || id == "COM") return Field::kComment;
  if (id == "TXXX" || id == "TXX") return Field::kUserText;
  if (id == "TRCK" || id == "TRK") return Field::kTrack;
  if (id == "TCON" || id == "TCO") return Field::kGenre;
  return Field::kNone;
}

// Comments by preference: players file their own data under described comments (such as
// normalisation values), and ffmpeg writes a comment as a user text named "comment".
enum CommentRank { kNoComment, kDescribedComment, kUserTextComment, kPlainComment };

// What has been taken so far: the first frame of each kind wins, and the first comment of the
// best rank.
struct Taken {
  bool title = false, artist = false, album = false, year = false, track = false, genre = false;
  CommentRank comment = kNoComment;
};


class FrameWalker {
 public:
  FrameWalker(TagSource& source, int version, bool unsync_frames, TagRecord& record)
      : window_(source), version_(version), unsync_frames_(unsync_frames), record_(record) {}

  // Walks the frames in [begin, end) of the source.
  void walk(uint64_t begin, uint64_t end) {
    const size_t id_size = version_ == 2 ? 3 : 4;
    const size_t header_size = version_ == 2 ? 6 : 10;
    uint64_t pos = begin;
    while (pos + header_size <= end) {
      std::array<uint8_t, 10> h{};
      if (!window_.copy(pos, std::span(h).first(header_size))) return;  // the source ended
      if (h[0] == 0) return;  // padding
      if (!std::all_of(h.begin(), h.begin() + id_size, isIdChar)) return;
      const std::string id(h.begin(), h.begin() + id_size);
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
      // A frame without a body carries nothing, but the frames after it are sound.
      const Field field = fieldOf(id);
      if (field != Field::kNone && size > 0) takeFrame(field, body, size, flags);
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

  void takeFrame(Field field, uint64_t body, uint64_t size, uint16_t flags) {
    if (alreadyTaken(field)) return;
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(size, kMaxFrameRead)));
    if (!window_.copy(body, bytes)) return;
    std::span<const uint8_t> data(bytes);
    bool unsync = false;
    if (version_ == 3) {
      if (flags & 0x00C0) return;  // compressed or encrypted
      if (flags & 0x0020) data = data.subspan(std::min<size_t>(1, data.size()));
    } else if (version_ == 4) {
      if (flags & 0x000C) return;  // compressed or encrypted
      if (flags & 0x0040) data = data.subspan(std::min<size_t>(1, data.size()));
      if (flags & 0x0001) data = data.subspan(std::min<size_t>(4, data.size()));
      unsync = unsync_frames_ || (flags & 0x0002);
    }
    if (unsync) {
      const std::vector<uint8_t> plain = undoUnsync(data);
      takeText(field, plain);
    } else {
      takeText(field, data);
    }
  }

  bool alreadyTaken(Field field) const {
    switch (field) {
      case Field::kTitle: return taken_.title;
      case Field::kArtist: return taken_.artist;
      case Field::kAlbum: return taken_.album;
      case Field::kYear: return taken_.year;
      case Field::kComment: return taken_.comment == kPlainComment;
      case Field::kUserText: return taken_.comment >= kUserTextComment;
      case Field::kTrack: return taken_.track;
      case Field::kGenre: return taken_.genre;
      case Field::kNone: break;
    }
    return true;
  }

  void takeText(Field field, std::span<const uint8_t> data) {
    if (data.empty()) return;
    const uint8_t encoding = data[0];
    data = data.subspan(1);
    std::string text;
    size_t used = 0;
    if (field == Field::kComment || field == Field::kUserText) {
      if (field == Field::kComment) {
        if (data.size() < 3) return;
        data = data.subspan(3);  // language
      }
      std::string description;
      if (!decodeId3String(encoding, data, description, used)) return;
      data = data.subspan(used);
      CommentRank rank = description.empty() ? kPlainComment : kDescribedComment;
      if (field == Field::kUserText) {
        if (!equalIgnoringAsciiCase(description, "comment")) return;
        rank = kUserTextComment;
      }
      if (rank <= taken_.comment) return;
      if (!decodeId3String(encoding, data, text, used) || text.empty()) return;
      taken_.comment = rank;
      cutUtf8(text, kTagTextMax);
      record_.comment = std::move(text);
      return;
    }
    if (!decodeId3String(encoding, data, text, used) || text.empty()) return;
    if (field == Field::kTrack) {
      taken_.track = true;
      record_.track_number = trackNumberFromText(text);
      return;
    }
    if (field == Field::kGenre) {
      taken_.genre = true;
      record_.genre_name = genreFromText(text);
      cutUtf8(record_.genre_name, kTagTextMax);
      return;
    }
    if (field == Field::kYear) {
      taken_.year = true;
      cutUtf8(text, kTagYearMax);
      record_.year = std::move(text);
      return;
    }
    cutUtf8(text, kTagTextMax);
    if (field == Field::kTitle) {
      taken_.title = true;
      record_.title = std::move(text);
    } else if (field == Field::kArtist) {
      taken_.artist = true;
      record_.artist = std::move(text);
    } else if (field == Field::kAlbum) {
      taken_.album = true;
      record_.album = std::move(text);
    }
  }

  ByteWindow window_;
  int version_;
  bool unsync_frames_;
  TagRecord& record_;
  Taken taken_;
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

bool readId3v2(TagSource& source, TagRecord& record) {
  std::array<uint8_t, kTagHeaderSize> h{};
  if (source.readAt(0, h) != h.size()) return false;
  if (std::memcmp(h.data(), "ID3", 3) != 0) return false;
  const int version = h[3];
  if (version < 2 || version > 4 || h[4] == 0xFF) return false;
  if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return false;
  const uint8_t flags = h[5];
  if (version == 2 && (flags & 0x40)) return false;  // compressed: no known scheme
  record.kind = TagKind::kId3v2;
  const uint64_t end = std::min<uint64_t>(kTagHeaderSize + syncsafe(h.data() + 6), source.size());
  const bool has_extended = version >= 3 && (flags & 0x40);

  if (version <= 3 && (flags & 0x80)) {
    // The whole tag is unsynchronised: frame headers included. Undo it in memory, then walk.
    std::vector<uint8_t> raw(static_cast<size_t>(
        std::min<uint64_t>(end - kTagHeaderSize, kMaxUnsyncTag)));
    raw.resize(source.readAt(kTagHeaderSize, raw));
    const std::vector<uint8_t> plain = undoUnsync(raw);
    MemoryTagSource memory(plain);
    uint64_t begin = 0;
    if (has_extended) begin = skipExtendedHeader(memory, version, 0, plain.size());
    if (has_extended && begin == 0) return true;
    FrameWalker(memory, version, false, record).walk(begin, plain.size());
    return true;
  }
  uint64_t begin = kTagHeaderSize;
  if (has_extended) begin = skipExtendedHeader(source, version, kTagHeaderSize, end);
  if (begin == 0) return true;
  FrameWalker(source, version, version == 4 && (flags & 0x80), record).walk(begin, end);
  return true;
}

}  // namespace tunora::media

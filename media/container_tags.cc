// Container tags through TagLib: the ASF content description (and WM/AlbumTitle), RIFF INFO
// lists and the "id3 " chunk of WAV files. TagLib reads the source through a read-only stream.
//
// RIFF INFO: a "LIST" chunk whose data starts with "INFO", then sub-chunks of a 4-byte id, a
// 4-byte little-endian size and that many bytes of text (NUL-terminated, padded to an even
// size): INAM title, IART artist, IPRD album, ICMT comment. Windows writes these texts in its
// code page, others in UTF-8, so they are decoded as UTF-8 when well formed and as
// Windows-1252 otherwise (TagLib's own INFO reading empties text that is not UTF-8).
#include "media/container_tags.h"

#include <taglib/asffile.h>
#include <taglib/tiostream.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "media/id3v2_reader.h"
#include "media/tag_text.h"

namespace tunora::media {
namespace {

// The source as a TagLib stream: reads only; every write is refused.
class SourceStream final : public TagLib::IOStream {
 public:
  explicit SourceStream(TagSource& source) : source_(source) {}

  TagLib::FileName name() const override { return ""; }
  TagLib::ByteVector readBlock(unsigned long length) override {
    const uint64_t size = source_.size();
    const uint64_t n = position_ < size ? std::min<uint64_t>(length, size - position_) : 0;
    TagLib::ByteVector block(static_cast<unsigned int>(n), '\0');
    const size_t got = source_.readAt(
        position_, std::span(reinterpret_cast<uint8_t*>(block.data()), block.size()));
    block.resize(static_cast<unsigned int>(got));
    position_ += got;
    return block;
  }
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position from) override {
    const auto size = static_cast<int64_t>(source_.size());
    int64_t base = 0;
    if (from == Current) base = static_cast<int64_t>(position_);
    if (from == End) base = size;
    position_ = static_cast<uint64_t>(std::max<int64_t>(0, base + offset));
  }
  long tell() const override { return static_cast<long>(position_); }
  long length() override { return static_cast<long>(source_.size()); }
  void truncate(long) override {}

 private:
  TagSource& source_;
  uint64_t position_ = 0;
};

// A WAV file whose chunks can be listed (TagLib keeps that to subclasses).
class WavChunks final : public TagLib::RIFF::WAV::File {
 public:
  explicit WavChunks(TagLib::IOStream* stream) : File(stream, false) {}
  using File::chunkCount;
  using File::chunkData;
  using File::chunkName;
};

// Stores a text the tag gives; an empty one keeps the field's default.
bool take(std::string text, std::string& field) {
  if (text.empty()) return false;
  cutUtf8(text, kTagTextMax);
  field = std::move(text);
  return true;
}

bool takeTagLib(const TagLib::String& text, std::string& field) {
  return take(text.to8Bit(true), field);
}

bool readAsf(SourceStream& stream, TagRecord& record) {
  TagLib::ASF::File file(&stream, false);
  const TagLib::ASF::Tag* tag = file.isValid() ? file.tag() : nullptr;
  if (tag == nullptr) return false;
  TagRecord read = record;
  bool any = takeTagLib(tag->title(), read.title);
  any = takeTagLib(tag->artist(), read.artist) || any;
  any = takeTagLib(tag->album(), read.album) || any;
  any = takeTagLib(tag->comment(), read.comment) || any;
  // Some writers (ffmpeg among them) put the comment in an extended attribute instead.
  for (const char* name : {"Description", "Comment", "WM/Comment"}) {
    if (read.comment != record.comment || !tag->contains(name)) continue;
    const TagLib::ASF::AttributeList& values = tag->attributeListMap()[name];
    if (!values.isEmpty() && values.front().type() == TagLib::ASF::Attribute::UnicodeType) {
      any = takeTagLib(values.front().toString(), read.comment) || any;
    }
  }
  if (!any) return false;
  read.kind = TagKind::kAsf;
  record = std::move(read);
  return true;
}

uint32_t littleEndian32(const char* p) {
  const auto* b = reinterpret_cast<const uint8_t*>(p);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

// The texts of one LIST INFO chunk's data (after "INFO"); true when one was taken.
bool takeInfo(const TagLib::ByteVector& data, TagRecord& record) {
  bool any = false;
  size_t pos = 4;
  while (pos + 8 <= data.size()) {
    const std::string id(data.data() + pos, 4);
    const uint64_t size = littleEndian32(data.data() + pos + 4);
    pos += 8;
    if (size > data.size() - pos) break;
    const std::span<const uint8_t> text(reinterpret_cast<const uint8_t*>(data.data()) + pos,
                                        static_cast<size_t>(size));
    std::string* field = id == "INAM"   ? &record.title
                         : id == "IART" ? &record.artist
                         : id == "IPRD" ? &record.album
                         : id == "ICMT" ? &record.comment
                                        : nullptr;
    if (field != nullptr) {
      std::string decoded;
      size_t used = 0;
      decodeId3String(kEncUtf8, text, decoded, used);
      any = take(std::move(decoded), *field) || any;
    }
    pos += static_cast<size_t>(size + (size & 1));
  }
  return any;
}

bool readWav(SourceStream& stream, TagRecord& record) {
  WavChunks file(&stream);
  if (!file.isValid()) return false;
  TagRecord read = record;
  bool any = false;
  // INFO first; an "id3 " chunk's texts, when there is one, win over it.
  for (unsigned int i = 0; i < file.chunkCount(); ++i) {
    if (file.chunkName(i) != "LIST") continue;
    const TagLib::ByteVector data = file.chunkData(i);
    if (data.startsWith("INFO")) any = takeInfo(data, read) || any;
  }
  for (unsigned int i = 0; i < file.chunkCount(); ++i) {
    const TagLib::ByteVector name = file.chunkName(i);
    if (name != "id3 " && name != "ID3 ") continue;
    const TagLib::ByteVector data = file.chunkData(i);
    MemoryTagSource id3(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
    // Empty fields: readId3v2 fills only those its frames give.
    TagRecord from_id3;
    from_id3.artist = from_id3.album = from_id3.comment = "";
    if (readId3v2(id3, from_id3)) {
      any = take(from_id3.title, read.title) || any;
      any = take(from_id3.artist, read.artist) || any;
      any = take(from_id3.album, read.album) || any;
      any = take(from_id3.comment, read.comment) || any;
    }
    break;
  }
  if (!any) return false;
  read.kind = TagKind::kRiff;
  record = std::move(read);
  return true;
}

constexpr std::array<uint8_t, 16> kAsfHeaderGuid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

}  // namespace

bool readContainerTags(TagSource& source, TagRecord& record) {
  std::array<uint8_t, 16> head{};
  if (source.readAt(0, head) != head.size()) return false;
  SourceStream stream(source);
  if (head == kAsfHeaderGuid) return readAsf(stream, record);
  if (std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "WAVE", 4) == 0) {
    return readWav(stream, record);
  }
  return false;
}

}  // namespace tunora::media

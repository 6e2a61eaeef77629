// The walk over the frames of the ID3v2 tag (versions 2.2, 2.3 and 2.4) at the start of a media
// file: the tag header, the extended header, unsynchronisation and each frame's header and
// flags. The tag reader (texts) and the picture reader both walk tags through it. Layout notes
// are in id3v2_frames.cc.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "media/tag_source.h"

namespace tunora::media {

class Id3v2ByteWindow;

// One frame as the walk meets it. Valid only during the visit.
class Id3v2Frame {
 public:
  Id3v2Frame(Id3v2ByteWindow& window, int version, std::string id, uint64_t body, uint64_t size,
             uint16_t flags, bool tag_unsync)
      : window_(window),
        version_(version),
        id_(std::move(id)),
        body_(body),
        size_(size),
        flags_(flags),
        tag_unsync_(tag_unsync) {}

  int version() const { return version_; }  // 2, 3 or 4
  // "TIT2", "APIC"; three characters in version 2.2 ("TT2", "PIC").
  const std::string& id() const { return id_; }
  // The size of the body (the frame's extra flag bytes included); may be 0.
  uint64_t size() const { return size_; }
  // False when the frame is compressed or encrypted: its data cannot be read.
  bool readable() const;
  // The frame's data: at most `max_read` bytes of the body, then its group byte and data length
  // skipped and its unsynchronisation undone. Nullopt when not readable() or when the source ends
  // inside the bytes read.
  std::optional<std::vector<uint8_t>> data(uint64_t max_read) const;

 private:
  Id3v2ByteWindow& window_;
  int version_;
  std::string id_;
  uint64_t body_;
  uint64_t size_;
  uint16_t flags_;   // the two flag bytes of 2.3 and 2.4; 0 in 2.2
  bool tag_unsync_;  // 2.4: the tag header marks every frame unsynchronised
};

// Called for each frame in order; returns false to end the walk.
using Id3v2FrameVisitor = std::function<bool(const Id3v2Frame& frame)>;

// Walks the frames of the ID3v2 tag that starts `source`, until the tag ends, padding or a damaged
// frame header, or the visitor says stop. Returns false, visiting nothing, when the source does
// not start with a well-formed ID3v2 header of version 2, 3 or 4 (or a 2.2 tag marked
// compressed, which no one defined). Nothing is read outside the source, and at most a bounded
// amount of memory is used whatever the sizes in the tag say.
bool walkId3v2Frames(TagSource& source, const Id3v2FrameVisitor& visit);

}  // namespace tunora::media

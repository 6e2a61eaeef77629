// Pictures embedded in ID3v2 tags (APIC and version 2.2's PIC), from tag bytes laid out here by
// hand; the frame walk itself is the tag reader's and tested with it.
#include "media/embedded_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace tunora::media {
namespace {

using Bytes = std::vector<uint8_t>;

void append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

// A version 2.3 frame (2.2: a three-letter id and a three-byte size) with a picture body:
// Latin-1 MIME (2.2: a three-letter format), type, description, data.
Bytes frame(const std::string& id, const std::string& mime, uint8_t type, const std::string& data,
            uint8_t flags = 0) {
  Bytes body{0};
  append(body, mime);
  if (id != "PIC") body.push_back(0);
  body.push_back(type);
  append(body, "cover");
  body.push_back(0);
  append(body, data);
  Bytes f;
  append(f, id);
  for (int s = id == "PIC" ? 16 : 24; s >= 0; s -= 8)
    f.push_back(static_cast<uint8_t>(body.size() >> s));
  if (id != "PIC") f.insert(f.end(), {0, flags});
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

// The header, the frames, 4 bytes of padding, then the first bytes of an MPEG frame.
Bytes tag(uint8_t version, const Bytes& frames) {
  Bytes t(10 + frames.size() + 6, 0);
  const uint8_t header[] = {'I', 'D', '3', version, 0,
                            0,   0,   0,   0,       static_cast<uint8_t>(frames.size() + 4)};
  std::copy(std::begin(header), std::end(header), t.begin());
  std::copy(frames.begin(), frames.end(), t.begin() + 10);
  t[t.size() - 2] = 0xFF;
  t[t.size() - 1] = 0xFB;
  return t;
}

std::string pictureOf(const Bytes& bytes) {
  media::MemoryTagSource source(bytes);
  const std::optional<EmbeddedPicture> p = readEmbeddedPicture(source);
  return p ? p->mime + ":" + std::to_string(p->picture_type) + ":" +
                 std::string(p->bytes.begin(), p->bytes.end())
           : "<none>";
}

TEST(EmbeddedPictureTest, ReadsAnApicFrameOfVersion23ByteForByte) {
  // "ID3" 3.0, no flags, size 35; APIC of 24 bytes: encoding 0, "image/png" NUL, type 3, ""
  // NUL, "PNGDATA!" 1 2 3; one padding byte.
  const Bytes bytes = {'I', 'D', '3', 3,   0,   0,   0,   0,   0,   35,  'A', 'P', 'I', 'C', 0,
                       0,   0,   24,  0,   0,   0,   'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g',
                       0,   3,   0,   'P', 'N', 'G', 'D', 'A', 'T', 'A', '!', 1,   2,   3,   0};
  EXPECT_EQ(pictureOf(bytes), std::string("image/png:3:PNGDATA!\x01\x02\x03"));
}

TEST(EmbeddedPictureTest, WhichPictureATagGives) {
  auto join = [](Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; };
  const Bytes title = {'T', 'I', 'T', '2', 0, 0, 0, 2, 0, 0, 0, 'T'};
  const Bytes back = frame("APIC", "image/jpeg", 4, "BACK");
  const Bytes front = frame("APIC", "image/jpeg", 3, "FRONT");
  const struct {
    const char* name;
    Bytes bytes;
    std::string picture;
  } cases[] = {
      {"front cover wins", tag(3, join(join(title, back), front)), "image/jpeg:3:FRONT"},
      {"else the first", tag(3, join(back, frame("APIC", "image/png", 0, "X"))),
       "image/jpeg:4:BACK"},
      {"version 2.2 PIC", tag(2, frame("PIC", "JPG", 3, "OLD")), "JPG:3:OLD"},
      {"no picture", tag(3, title), "<none>"},
      {"no picture bytes", tag(3, frame("APIC", "image/jpeg", 3, "")), "<none>"},
      {"compressed frame", tag(3, frame("APIC", "image/jpeg", 3, "X", 0x80)), "<none>"},
      {"no tag", Bytes{'I', 'D', '3'}, "<none>"},
  };
  for (const auto& c : cases) EXPECT_EQ(pictureOf(c.bytes), c.picture) << c.name;
}

}  // namespace
}  // namespace tunora::media

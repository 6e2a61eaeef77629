// Pictures embedded in ID3v2 tags, from tag bytes laid out here by hand.
#include "media/embedded_picture.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace tunora::media {
namespace {

using Bytes = std::vector<uint8_t>;

void append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void be32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void syncsafe(Bytes& b, uint32_t v) {
  for (int s = 21; s >= 0; s -= 7) b.push_back(static_cast<uint8_t>((v >> s) & 0x7F));
}

// An APIC body: Latin-1 encoding, MIME, type, description, data.
Bytes apicBody(const std::string& mime, uint8_t type, const std::string& data) {
  Bytes b{0};
  append(b, mime);
  b.push_back(0);
  b.push_back(type);
  append(b, "cover");
  b.push_back(0);
  append(b, data);
  return b;
}

Bytes frame23(const std::string& id, const Bytes& body, uint8_t flags2 = 0) {
  Bytes f;
  append(f, id);
  be32(f, static_cast<uint32_t>(body.size()));
  f.push_back(0);
  f.push_back(flags2);
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

Bytes tag(uint8_t version, uint8_t flags, const Bytes& frames, size_t padding = 16) {
  Bytes t;
  append(t, "ID3");
  t.push_back(version);
  t.push_back(0);
  t.push_back(flags);
  syncsafe(t, static_cast<uint32_t>(frames.size() + padding));
  t.insert(t.end(), frames.begin(), frames.end());
  t.insert(t.end(), padding, 0);
  append(t, "\xFF\xFB audio frames follow");
  return t;
}

std::optional<EmbeddedPicture> read(const Bytes& bytes) {
  media::MemoryTagSource source(bytes);
  return readEmbeddedPicture(source);
}

std::string text(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }

TEST(EmbeddedPictureTest, ReadsAnApicFrameOfVersion23) {
  // Literal bytes: "ID3" 3.0, no flags, size 35; APIC of 24 bytes: encoding 0, "image/png" NUL,
  // type 3, "" NUL, "PNGDATA!" 1 2 3; one padding byte.
  const Bytes bytes = {'I', 'D', '3', 3,   0,   0,   0,   0,   0,   35,  'A', 'P', 'I', 'C', 0,
                       0,   0,   24,  0,   0,   0,   'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g',
                       0,   3,   0,   'P', 'N', 'G', 'D', 'A', 'T', 'A', '!', 1,   2,   3,   0};
  std::optional<EmbeddedPicture> p = read(bytes);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->mime, "image/png");
  EXPECT_EQ(p->picture_type, 3);
  EXPECT_EQ(p->bytes, (Bytes{'P', 'N', 'G', 'D', 'A', 'T', 'A', '!', 1, 2, 3}));
}

TEST(EmbeddedPictureTest, FrontCoverWinsOverAnEarlierPicture) {
  Bytes frames = frame23("TIT2", Bytes{0, 'T'});
  Bytes back = frame23("APIC", apicBody("image/jpeg", 4, "BACK"));
  Bytes front = frame23("APIC", apicBody("image/jpeg", 3, "FRONT"));
  frames.insert(frames.end(), back.begin(), back.end());
  frames.insert(frames.end(), front.begin(), front.end());
  EXPECT_EQ(text(read(tag(3, 0, frames))->bytes), "FRONT");

  // Without a front cover, the first picture.
  Bytes other = frame23("APIC", apicBody("image/jpeg", 0, "OTHER"));
  Bytes two = back;
  two.insert(two.end(), other.begin(), other.end());
  EXPECT_EQ(text(read(tag(3, 0, two))->bytes), "BACK");
}

TEST(EmbeddedPictureTest, Version24SyncsafeSizesAndVersion22Pic) {
  Bytes body = apicBody("image/jpeg", 3, std::string(200, 'J'));  // size above 127
  Bytes f;
  append(f, "APIC");
  syncsafe(f, static_cast<uint32_t>(body.size()));
  f.push_back(0);
  f.push_back(0);
  f.insert(f.end(), body.begin(), body.end());
  EXPECT_EQ(read(tag(4, 0, f))->bytes.size(), 200u);

  Bytes pic_body{0, 'J', 'P', 'G', 3, 'd', 0, 'O', 'L', 'D'};
  Bytes p;
  append(p, "PIC");
  p.push_back(0);
  p.push_back(0);
  p.push_back(static_cast<uint8_t>(pic_body.size()));
  p.insert(p.end(), pic_body.begin(), pic_body.end());
  std::optional<EmbeddedPicture> old = read(tag(2, 0, p));
  ASSERT_TRUE(old);
  EXPECT_EQ(old->mime, "JPG");
  EXPECT_EQ(text(old->bytes), "OLD");
}

TEST(EmbeddedPictureTest, Utf16DescriptionAndUnsynchronisedTag) {
  Bytes body{1};  // UTF-16
  append(body, "image/jpeg");
  body.insert(body.end(), {0, 3, 0xFF, 0xFE, 'd', 0, 0, 0});
  body.insert(body.end(), {0xFF, 0xD8, 0xFF, 0xE0});
  // Unsynchronised: a 0 after every 0xFF.
  Bytes unsync;
  for (uint8_t b : frame23("APIC", body)) {
    unsync.push_back(b);
    if (b == 0xFF) unsync.push_back(0);
  }
  std::optional<EmbeddedPicture> p = read(tag(3, 0x80, unsync));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->bytes, (Bytes{0xFF, 0xD8, 0xFF, 0xE0}));
}

TEST(EmbeddedPictureTest, DamagedOrUnusableTagsGiveNothing) {
  EXPECT_FALSE(read(Bytes{}));
  EXPECT_FALSE(read(Bytes{'I', 'D', '3'}));
  EXPECT_FALSE(read(tag(3, 0, frame23("TIT2", Bytes{0, 'T'}))));
  // A frame whose size runs past the tag.
  Bytes f = frame23("APIC", apicBody("image/jpeg", 3, "X"));
  f[7] = 0xF0;
  EXPECT_FALSE(read(tag(3, 0, f)));
  // Encrypted or compressed frames are skipped.
  EXPECT_FALSE(read(tag(3, 0, frame23("APIC", apicBody("image/jpeg", 3, "X"), 0x40))));
  EXPECT_FALSE(read(tag(3, 0, frame23("APIC", apicBody("image/jpeg", 3, "X"), 0x80))));
  // A body without its MIME terminator, or with no picture bytes.
  EXPECT_FALSE(read(tag(3, 0, frame23("APIC", Bytes{0, 'i', 'm', 'g'}))));
  EXPECT_FALSE(read(tag(3, 0, frame23("APIC", apicBody("image/jpeg", 3, "")))));
}

TEST(EmbeddedPictureTest, FilesOnDisk) {
  testing::TempDir dir;
  const std::string with = dir.file("with.mp3");
  const std::string without = dir.file("without.mp3");
  const Bytes a = tag(3, 0, frame23("APIC", apicBody("image/jpeg", 3, "JPEG")));
  const Bytes b = tag(3, 0, frame23("TIT2", Bytes{0, 'T'}));
  std::ofstream(with, std::ios::binary)
      .write(reinterpret_cast<const char*>(a.data()), static_cast<std::streamsize>(a.size()));
  std::ofstream(without, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  EXPECT_TRUE(hasEmbeddedPicture(with));
  EXPECT_EQ(text(readEmbeddedPicture(with)->bytes), "JPEG");
  EXPECT_FALSE(hasEmbeddedPicture(without));
  EXPECT_FALSE(hasEmbeddedPicture(dir.file("missing.mp3")));
  EXPECT_FALSE(readEmbeddedPicture(dir.file("missing.mp3")));
}

}  // namespace
}  // namespace tunora::media

// The ID3v2 reader against tags from a small writer of its own: the frame that followed a
// picture and was lost after a byte-window refill, then a few hundred random tags (frame order,
// sizes up to 20 KB, the four text encodings, versions 2.2 to 2.4, padding) whose every text must
// come back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "media/tag_reader.h"
#include "tests/media/tag_bytes.h"
#include "tests/support/temp_dir.h"

namespace tunora::media {
namespace {

using namespace tag_bytes;

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// Frame ids of the title, artist, album, comment and a picture: version 2.2's, then the others'.
constexpr const char* kIds[2][5] = {{"TT2", "TP1", "TAL", "COM", "PIC"},
                                    {"TIT2", "TPE1", "TALB", "COMM", "APIC"}};

// A frame as the ID3v2 documents lay it out for the version; independent of the reader's code.
Bytes frame(int version, std::string_view id, const Bytes& body) {
  return version == 2 ? frame22(id, body) : version == 3 ? frame23(id, body) : frame24(id, body);
}

// The whole tag with `padding` zero bytes after the frames, then `audio` bytes of sound.
Bytes finish(int version, const Bytes& frames, size_t padding, size_t audio) {
  Bytes out = tag(uint8_t(version), 0, frames + Bytes(padding, 0));
  for (size_t i = 0; i < audio; ++i) out.push_back(i % 418 == 0 ? 0xFF : uint8_t(i * 7));
  return out;
}

// A text encoded the way encoding byte e says (0 Latin-1, 1 UTF-16 little-endian with its
// byte-order mark, 2 UTF-16 big-endian, 3 UTF-8), with its terminator when `terminated`.
Bytes encode(uint8_t e, const std::u32string& text, bool terminated) {
  Bytes out;
  auto unit16 = [&](uint32_t u) {
    append(out, e == 2 ? Bytes{uint8_t(u >> 8), uint8_t(u)} : Bytes{uint8_t(u), uint8_t(u >> 8)});
  };
  if (e == 1) append(out, {0xFF, 0xFE});
  for (const char32_t c : text) {
    if (e == 0 || (e == 3 && c < 0x80)) {
      out.push_back(static_cast<uint8_t>(c));  // the generator keeps Latin-1 below 0x100
    } else if (e == 3) {
      const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
      out.push_back(uint8_t(0xFF00 >> (tail + 1) | c >> (6 * tail)));
      for (int k = tail - 1; k >= 0; --k) out.push_back(uint8_t(0x80 | (c >> (6 * k) & 63)));
    } else if (c >= 0x10000) {
      unit16(0xD800 + ((c - 0x10000) >> 10));
      unit16(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit16(c);
    }
  }
  if (terminated) append(out, e == 1 || e == 2 ? Bytes{0, 0} : Bytes{0});
  return out;
}

std::string utf8(const std::u32string& text) {
  const Bytes bytes = encode(3, text, false);
  return std::string(bytes.begin(), bytes.end());
}

Bytes textFrame(uint8_t e, const std::u32string& text, bool terminated) {
  return Bytes{e} + encode(e, text, terminated);
}

Bytes commentFrame(uint8_t e, const std::u32string& description, const std::u32string& text) {
  return Bytes{e, 'e', 'n', 'g'} + encode(e, description, true) + encode(e, text, false);
}

TagRecord readBytes(const Bytes& bytes) {
  TagRecord record;
  readTagsFromBytes(bytes, "/music/Band/Album/file.mp3", record);
  return record;
}

// A 2.4 tag whose first frame is a 4,014-byte picture, then a 398-byte comment: the comment's
// header lies inside the first 4 KB and its two size readings differ, so checking them reloads
// the reader's byte window.
TEST(Id3v2Random, CommentAfterALargePictureSurvivesTheWindowRefill) {
  // Encoding 0, "image/png" and its NUL, picture type 3, an empty description, image bytes.
  Bytes picture(4014, 0x5A);
  const std::string_view head("\0image/png\0\3\0", 14);
  std::copy(head.begin(), head.end(), picture.begin());
  // 1 + 3 + 1 + 390 bytes, and the comment runs to the frame's end: 398 bytes in all.
  const Bytes frames =
      frame24("APIC", picture) +
      frame24("COMM", commentFrame(0, U"", std::u32string(390, U'c')) + text("xyz")) +
      frame24("TIT2", textFrame(3, U"Title", true)) +
      frame24("TPE1", textFrame(3, U"Artist", true)) +
      frame24("TALB", textFrame(3, U"Album", true));
  const Bytes bytes = finish(4, frames, 0, 16384);  // a song follows: the refill reads a window
  const std::string expected_comment = std::string(390, 'c') + "xyz";
  TagRecord r = readBytes(bytes);
  EXPECT_EQ(std::tie(r.title, r.artist, r.album, r.comment),
            std::tie("Title", "Artist", "Album", expected_comment));
  // The same from a file, through the file source and its kept first 4 KB.
  testing::TempDir dir;
  testing::writeBytes(dir.file("song.mp3"), bytes);
  ASSERT_TRUE(readTags(dir.file("song.mp3"), r));
  EXPECT_EQ(r.comment, expected_comment);
  EXPECT_EQ(r.album, "Album");
}

// Characters each encoding can carry: Latin-1 only below 0x100; the others anything, surrogate
// pairs included.
std::u32string randomText(std::mt19937& rng, uint8_t encoding, size_t length) {
  static constexpr char32_t kWide[] = {U'é', U'Ж', U'€', U'☕', U'𝄞', U'Ω', U'ß', U'中'};
  std::u32string text;
  for (size_t i = 0; i < length; ++i) {
    const uint32_t r = rng();
    if (encoding != 0 && r % 4 == 0) {
      text += kWide[r / 4 % std::size(kWide)];
    } else if (r % 5 == 1) {
      text += char32_t(0xC0 + r / 8 % 0x3F);  // Latin-1 letters
    } else {
      text += char32_t('a' + r / 8 % 26);
    }
  }
  return text;
}

// A picture or an unknown frame of `size` bytes whose bytes are random: they may look like frame
// ids, zeros or 0xFF.
Bytes randomBlob(std::mt19937& rng, size_t size) {
  Bytes body(size);
  for (auto& b : body) b = static_cast<uint8_t>(rng());
  if (size > 0) body[0] = 0;  // a picture's text encoding
  return body;
}

TEST(Id3v2Random, EveryTextOfARandomTagComesBack) {
  std::mt19937 rng(20261207);  // the same cases on every run
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int version = 2 + round % 3;
    const char* const* ids = kIds[version == 2 ? 0 : 1];
    // Texts of 1..200 characters, or a long one now and then (the reader keeps 599 bytes).
    auto length = [&] { return rng() % 8 == 0 ? 300 + rng() % 4000 : 1 + rng() % 200; };
    std::vector<std::u32string> texts;  // title, artist, album, comment
    std::vector<std::pair<std::string, Bytes>> frames;
    for (int k = 0; k < 3; ++k) {
      const auto e = static_cast<uint8_t>(rng() % 4);
      texts.push_back(randomText(rng, e, length()));
      frames.emplace_back(ids[k], textFrame(e, texts.back(), rng() % 2 == 0));
    }
    const auto e = static_cast<uint8_t>(rng() % 4);
    const std::u32string description = rng() % 2 == 0 ? U"" : randomText(rng, e, 1 + rng() % 20);
    texts.push_back(randomText(rng, e, length()));
    frames.emplace_back(ids[3], commentFrame(e, description, texts.back()));
    // Other frames: pictures and unknown frames of 0..20 KB, before, between and after.
    const size_t extra = rng() % 6;
    for (size_t i = 0; i < extra; ++i) {
      const size_t size = rng() % 3 == 0 ? rng() % 20481 : rng() % 600;
      frames.emplace_back(i % 2 == 0 ? ids[4] : (version == 2 ? "XXX" : "XXXX"),
                          randomBlob(rng, size));
    }
    std::shuffle(frames.begin(), frames.end(), rng);
    Bytes all;
    for (const auto& [id, body] : frames) append(all, frame(version, id, body));
    const size_t padding = rng() % 3 == 0 ? 0 : rng() % 3000;
    const TagRecord r = readBytes(finish(version, all, padding, rng() % 10000));

    auto expect = [](const std::u32string& text) {
      std::string s = utf8(text);
      size_t cut = std::min<size_t>(s.size(), 599);
      while (cut < s.size() && (static_cast<uint8_t>(s[cut]) & 0xC0) == 0x80) --cut;
      return s.substr(0, cut);
    };
    EXPECT_EQ(
        std::tie(r.title, r.artist, r.album, r.comment),
        std::make_tuple(expect(texts[0]), expect(texts[1]), expect(texts[2]), expect(texts[3])));
  }
}

}  // namespace
}  // namespace tunora::media

// The tag reader on hand-built tags (sizes, flags, encodings, damaged tags), on WAV files' own
// tags (RIFF INFO or an ID3 chunk) and damaged RIFF and ASF bytes, and on files tagged by real
// taggers (tests/data/media, made by make_fixtures.sh; a WMA file for the ASF texts). Against
// tags from a small writer of its own: the frame that followed a picture and was lost after a
// byte-window refill, then a few hundred random tags (frame order, sizes up to 20 KB, the four
// text encodings, versions 2.2 to 2.4, padding) whose every text must come back.
#include "media/tag_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "media/genre_names.h"
#include "tests/media/tag_bytes.h"
#include "tests/support/temp_dir.h"

namespace tunora::media {
namespace {

using namespace tag_bytes;

TagRecord read(const Bytes& bytes) {
  TagRecord record;
  readTagsFromBytes(bytes, "/music/Band/Album/file.mp3", record);
  return record;
}

// Each row: a tag and the texts read from it (the file's name and "No Data" when none).
TEST(Id3v2Bytes, FramesFlagsAndDamage) {
  const Bytes good = frame23("TIT2", latin1("Good"));
  const Bytes described = Bytes{0} + text("engiTunNORM") + Bytes{0} + text(" 0000 0001");
  Bytes truncated = tag(3, 0, good + frame23("TALB", latin1("Cut off here")));
  for (int i = 0; i < 4; ++i) truncated.pop_back();  // (resize trips a g++ -O2 warning)
  // Frames whose sizes were written as plain integers: 200 (00 00 00 C8, not syncsafe at all)
  // and 256 (00 00 01 00, which read as syncsafe would be 128 and land inside the text).
  auto plainSize = [](uint32_t size) {
    return tag(4, 0,
               text("TIT2") + be32(size) + Bytes{0, 0} + latin1(std::string(size - 1, 't')) +
                   frame24("TPE1", latin1("After")));
  };
  // Version 2.3 unsynchronisation covers the whole tag, frame headers included: the size 0xFF
  // is written 00 00 00 FF 00.
  Bytes long_title = {0, 0xFF, 'A'};  // Latin-1
  long_title.resize(255, 'z');
  Bytes synced;
  for (uint8_t b : frame23("TIT2", long_title) + frame23("TPE1", latin1("Art"))) {
    synced.push_back(b);
    if (b == 0xFF) synced.push_back(0);
  }
  struct Want {
    std::string title = "file.mp3", artist = "No Data", album = "No Data", comment = "No Data";
    std::string year = "No Data";
    int32_t track = 0;
    std::string genre;
  };
  const struct {
    const char* what;
    Bytes bytes;
    Want want;
  } rows[] = {
      {"unsynchronised 2.3 tag",
       tag(3, 0x80, synced),
       {.title = "ÿA" + std::string(252, 'z'), .artist = "Art"}},
      {"Windows-1252 comment, year",
       tag(4, 0,
           frame24("TDRC", latin1("2001-05-06")) +
               frame24("COMM", Bytes{0} + text("eng") + Bytes{0, 'D', 'o', 'n', 0x92, 't', 0})),
       {.comment = "Don’t", .year = "2001"}},
      // UTF-16 with its own byte-order mark in the description and the text.
      {"a plain comment replaces a described one; a third is ignored",
       tag(3, 0,
           frame23("COMM", described) +
               frame23("COMM", Bytes{1} + text("deu") +
                                   Bytes{0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'o', 0, 'k', 0}) +
               frame23("COMM", Bytes{0} + text("eng") + Bytes{0} + text("later"))),
       {.comment = "ok"}},
      {"the first described comment stays",
       tag(3, 0,
           frame23("COMM", described) +
               frame23("COMM", Bytes{0} + text("engx") + Bytes{0} + text("y"))),
       {.comment = " 0000 0001"}},
      {"2.3 extended header",
       tag(3, 0x40, be32(6) + Bytes{0, 0, 0, 0, 0, 0} + frame23("TIT2", latin1("E3"))),
       {.title = "E3"}},
      {"2.4 extended header",
       tag(4, 0x40, safe32(6) + Bytes{1, 0} + frame24("TIT2", latin1("E4"))),
       {.title = "E4"}},
      {"2.4 unsynchronised frame",
       tag(4, 0, frame24("TIT2", Bytes{0, 0xFF, 0, 'B'}, 0x0002)),
       {.title = "ÿB"}},
      {"plain size 200", plainSize(200), {.title = std::string(199, 't'), .artist = "After"}},
      {"plain size 256", plainSize(256), {.title = std::string(255, 't'), .artist = "After"}},
      // Grouping byte and data length (2.4), compressed frame ignored, grouping byte (2.3).
      {"2.4 frame flags",
       tag(4, 0,
           frame24("TIT2", Bytes{9} + safe32(3) + latin1("Gx"), 0x0041) +
               frame24("TPE1", Bytes{0, 0, 0, 5, 0x78}, 0x0009)),
       {.title = "Gx"}},
      {"2.3 group byte",
       tag(3, 0, frame23("TALB", Bytes{4} + latin1("G3"), 0x0020)),
       {.album = "G3"}},
      {"a garbage id",
       tag(3, 0,
           good + text("t!T2") + be32(5) + Bytes{0, 0} + latin1("bad!") +
               frame23("TALB", latin1("never"))),
       {.title = "Good"}},
      {"a size past the tag",
       tag(3, 0,
           good + text("TPE1") + be32(0x7FFFFFF0) + Bytes{0, 0} + latin1("x") +
               frame23("TALB", latin1("never"))),
       {.title = "Good"}},
      {"a frame of size 0 carries nothing",
       tag(3, 0, good + frame23("TPE1", {}) + frame23("TALB", latin1("After"))),
       {.title = "Good", .album = "After"}},
      {"a tag past the end of the file", truncated, {.title = "Good"}},
      {"empty text, unknown encoding",
       tag(3, 0, frame23("TIT2", Bytes{0}) + frame23("TPE1", Bytes{7, 'x'})),
       {}},
      {"the first track and genre frames count",
       tag(3, 0,
           frame23("TRCK", latin1("3/12")) + frame23("TCON", latin1("(17)")) +
               frame23("TRCK", latin1("9")) + frame23("TCON", latin1("Jazz"))),
       {.track = 3, .genre = "Rock"}},
      {"2.2 track and genre",
       tag(2, 0, frame22("TRK", latin1("11")) + frame22("TCO", latin1("Chill"))),
       {.track = 11, .genre = "Chill"}},
  };
  for (const auto& row : rows) {
    const TagRecord r = read(row.bytes);
    const Want& w = row.want;
    EXPECT_EQ(std::tie(r.title, r.artist, r.album, r.comment, r.year, r.track_number, r.genre_name),
              std::tie(w.title, w.artist, w.album, w.comment, w.year, w.track, w.genre))
        << row.what;
  }
}

TEST(Id3v2Bytes, NoUsableId3v2FallsBackToId3v1) {
  // Trailing blanks in the artist, a blank album, version 1.1's track.
  Bytes v1 = id3v1("V1 title", "V1 artist" + std::string(21, ' '), "", "1987", "comment", 7, 12);
  for (const Bytes& head : {text("ID3") + Bytes{5, 0, 0, 0, 0, 0, 1},
                            text("ID3") + Bytes{3, 0, 0, 0x80, 0, 0, 0}, text("ID"), text("xyz")}) {
    // Trailing blanks trimmed, a blank field stored blank (not "No Data"), version 1.1's track.
    const TagRecord r = read(head + Bytes(50, 0) + v1);
    EXPECT_EQ(std::tie(r.kind, r.title, r.artist, r.album, r.year, r.comment, r.genre, r.genre_name,
                       r.track_number),
              std::make_tuple(TagKind::kId3v1, "V1 title", "V1 artist", "", "1987", "comment", 12,
                              "Other", 7));
  }
  // A year of bytes above 0x7F stays within 4 bytes once decoded.
  v1[93] = 0xFF;
  EXPECT_EQ(read(v1).year, "ÿ98");
  const TagRecord none = read(Bytes{'T', 'A', 'G'});
  EXPECT_EQ(none.kind, TagKind::kNone);
  EXPECT_EQ(none.title, "file.mp3");
}

TEST(Id3v2Bytes, GenreAndTrackTexts) {
  const std::pair<std::string_view, std::string> genres[] = {
      {"17", "Rock"},      {"(17)Rock & Roll", "Rock & Roll"},
      {"(0)(8)", "Blues"}, {"(RX)", "Remix"},
      {"(200)", ""},       {"((Parens) Pop", "(Parens) Pop"},
      {"79", "Hard Rock"}, {"80", ""},
      {"12345", "12345"},
  };
  for (const auto& [text, name] : genres) EXPECT_EQ(genreFromText(text), name) << text;
  const std::pair<std::string_view, int32_t> tracks[] = {
      {" 7 ", 7}, {"/12", 0}, {"A1", 0}, {"99999", 0}, {"9999", 9999}};
  for (const auto& [text, number] : tracks) EXPECT_EQ(trackNumberFromText(text), number) << text;
}

// A RIFF chunk: id, little-endian size, data, a pad byte when the size is odd.
Bytes chunk(std::string_view id, const Bytes& data) {
  return text(id) + le32(uint32_t(data.size())) + data + Bytes(data.size() % 2, 0);
}
// PCM, mono, 8000 Hz; 100 bytes of sound; then the chunks.
Bytes wav(const std::vector<Bytes>& chunks) {
  Bytes body = text("WAVE") +
               chunk("fmt ", Bytes{1, 0, 1, 0} + le32(8000) + le32(16000) + Bytes{2, 0, 16, 0}) +
               chunk("data", Bytes(100, 0));
  for (const Bytes& c : chunks) body = body + c;
  return chunk("RIFF", body);
}
Bytes info(const std::vector<std::pair<std::string, Bytes>>& fields) {
  Bytes data = text("INFO");
  for (const auto& [id, value] : fields) data = data + chunk(id, value);
  return chunk("LIST", data);
}

// Each row: bytes and the texts read from them (the file's name and "No Data" when none).
TEST(ContainerTagBytes, RiffInfoId3ChunksAndDamage) {
  const Bytes id3 = tag(3, 0, frame23("TIT2", latin1("Id3 T.")));
  Bytes bad_size = info({{"INAM", text("ok")}});
  bad_size[19] = 0xFF;  // INAM's size: 0xFF000002 bytes
  const Bytes other_list = text("adtlINAM") + le32(3) + text("abc");
  // An ASF header object whose sizes say more than there is.
  Bytes asf = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
               0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  asf.insert(asf.end(),
             {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 1});
  const struct {
    const char* what;
    Bytes bytes;
    TagKind kind;
    std::string title, artist = "No Data", album = "No Data", comment = "No Data";
  } rows[] = {
      // "Café" in Windows-1252 with its NUL; "Ünïcode" in UTF-8 without; an odd size with its pad.
      {"INFO texts",
       wav({info({{"INAM", Bytes{'C', 'a', 'f', 0xE9, 0}},
                  {"IART", text("Ünïcode")},
                  {"ISFT", text("Lavf")},
                  {"IPRD", text("odd")},
                  {"ICMT", text("Don\x92t")}})}),
       TagKind::kRiff, "Café", "Ünïcode", "odd", "Don’t"},
      {"an ID3 chunk wins over INFO",
       wav({info({{"INAM", text("Info title")}, {"IART", text("Info artist")}}),
            chunk("id3 ", id3)}),
       TagKind::kRiff, "Id3 T.", "Info artist"},
      {"a sub-chunk past its list", wav({bad_size}), TagKind::kNone, "file.wav"},
      {"a LIST that is not INFO", wav({chunk("LIST", other_list)}), TagKind::kNone, "file.wav"},
      {"ASF sizes past the end", asf, TagKind::kNone, "file.wav"},
  };
  for (const auto& row : rows) {
    TagRecord r;
    readTagsFromBytes(row.bytes, "/music/Band/Album/file.wav", r);
    EXPECT_EQ(std::tie(r.kind, r.title, r.artist, r.album, r.comment),
              std::tie(row.kind, row.title, row.artist, row.album, row.comment))
        << row.what;
  }
  // Cut anywhere: never more than the defaults or what is whole; never outside the bytes.
  const Bytes whole = wav({info({{"INAM", text("Whole")}})});
  for (size_t n = 0; n < whole.size(); ++n) {
    TagRecord r;
    readTagsFromBytes(Bytes(whole.begin(), whole.begin() + static_cast<long>(n)), "/m/file.wav", r);
    EXPECT_TRUE(r.title == "file.wav" || r.title == "Whole") << n;
    EXPECT_EQ(r.artist, "No Data");
  }
}

TEST(TagFixtures, EveryTaggerGivesTheTextsAndUnopenableFilesTheDefaults) {
  const struct {
    const char *file, *title, *artist, *album, *comment;
    TagKind kind;
  } fixtures[] = {
      {"ffmpeg_v24.mp3", "Café del Mar ☕", "Ümlaut Band", "Ελληνικά Τραγούδια", "ffmpeg comment",
       TagKind::kId3v2},
      {"id3lib_v23.mp3", "Café Song", "Id3lib Artist", "Id3lib Album", "plain comment",
       TagKind::kId3v2},
      {"id3v1_only.mp3", "V1 Title", "V1 Artist", "V1 Album", "V1 comment", TagKind::kId3v1},
      {"ffmpeg.wma", "Tïtle of wma", "Ärtist ☕", "Album 𝄞", "a comment", TagKind::kAsf},
      {"no_tag.mp3", "no_tag.mp3", "No Data", "No Data", "No Data", TagKind::kNone},
  };
  for (const auto& f : fixtures) {
    SCOPED_TRACE(f.file);
    TagRecord record;
    ASSERT_TRUE(readTags(std::string(TUNORA_MEDIA_FIXTURES) + "/" + f.file, record));
    EXPECT_EQ(record.kind, f.kind);
    EXPECT_EQ(std::tie(record.title, record.artist, record.album, record.comment),
              std::make_tuple(f.title, f.artist, f.album, f.comment));
  }
  TagRecord record;
  record.artist = "stale";
  EXPECT_FALSE(readTags("/nonexistent/dir/song.mp3", record));
  EXPECT_EQ(record.title, "song.mp3");
  EXPECT_EQ(record.artist, "No Data");
  EXPECT_FALSE(readTags(TUNORA_MEDIA_FIXTURES, record));  // a folder
}

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

Bytes textFrame(uint8_t e, const std::u32string& text, bool terminated) {
  return Bytes{e} + encode(e, text, terminated);
}

Bytes commentFrame(uint8_t e, const std::u32string& description, const std::u32string& text) {
  return Bytes{e, 'e', 'n', 'g'} + encode(e, description, true) + encode(e, text, false);
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
  TagRecord r = read(bytes);
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
      // Random bytes, which may look like frame ids, zeros or 0xFF; first a picture's encoding.
      Bytes body(rng() % 3 == 0 ? rng() % 20481 : rng() % 600);
      for (auto& b : body) b = static_cast<uint8_t>(rng());
      if (!body.empty()) body[0] = 0;
      frames.emplace_back(i % 2 == 0 ? ids[4] : (version == 2 ? "XXX" : "XXXX"), body);
    }
    std::shuffle(frames.begin(), frames.end(), rng);
    Bytes all;
    for (const auto& [id, body] : frames) append(all, frame(version, id, body));
    const size_t padding = rng() % 3 == 0 ? 0 : rng() % 3000;
    const TagRecord r = read(finish(version, all, padding, rng() % 10000));

    auto expect = [](const std::u32string& text) {
      const Bytes bytes = encode(3, text, false);
      const std::string s(bytes.begin(), bytes.end());
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

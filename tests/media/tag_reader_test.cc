// The tag reader on hand-built tags (sizes, flags, encodings, damaged tags), on WAV files' own
// tags (RIFF INFO or an ID3 chunk) and damaged RIFF and ASF bytes, and on files tagged by real
// taggers (tests/data/media, made by make_fixtures.sh; a WMA file for the ASF texts).
#include "media/tag_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/genre_names.h"
#include "tests/media/tag_bytes.h"

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

struct Fixture {
  const char* file;
  TagKind kind;
  const char* title;
  const char* artist;
  const char* album;
  const char* comment;
};

constexpr Fixture kFixtures[] = {
    {"ffmpeg_v24.mp3", TagKind::kId3v2, "Café del Mar ☕", "Ümlaut Band", "Ελληνικά Τραγούδια",
     "ffmpeg comment"},
    {"id3lib_v23.mp3", TagKind::kId3v2, "Café Song", "Id3lib Artist", "Id3lib Album",
     "plain comment"},
    {"id3v1_only.mp3", TagKind::kId3v1, "V1 Title", "V1 Artist", "V1 Album", "V1 comment"},
    {"ffmpeg.wma", TagKind::kAsf, "Tïtle of wma", "Ärtist ☕", "Album 𝄞", "a comment"},
    {"no_tag.mp3", TagKind::kNone, "no_tag.mp3", "No Data", "No Data", "No Data"},
};

TEST(TagFixtures, EveryTaggerGivesTheTextsAndUnopenableFilesTheDefaults) {
  for (const Fixture& f : kFixtures) {
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

}  // namespace
}  // namespace tunora::media

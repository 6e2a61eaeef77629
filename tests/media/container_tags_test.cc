// Texts of WAV files from their own tags (RIFF INFO or an ID3 chunk) and damaged RIFF and ASF
// bytes, hand-built.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/tag_reader.h"
#include "tests/media/tag_bytes.h"

namespace tunora::media {
namespace {

using namespace tag_bytes;

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

}  // namespace
}  // namespace tunora::media

// Texts of WMA, ASF, WMV and WAV files from their own tags: files written by ffmpeg at test time
// (skipped when it is not installed), and hand-built RIFF and ASF bytes for the texts and damage
// ffmpeg does not write.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "media/tag_reader.h"
#include "tests/support/temp_dir.h"

namespace tunora::media {
namespace {

using Bytes = std::vector<uint8_t>;
std::string quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool haveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

// A 0.1 s file of the type its extension names, with the given "-metadata" options.
bool writeWithFfmpeg(const std::string& path, const std::string& metadata) {
  const std::string ext = path.substr(path.size() - 3);
  std::string streams = "-f lavfi -i anullsrc=r=8000:cl=mono -t 0.1 ";
  if (ext == "wav") {
    streams += "-c:a pcm_s16le ";
  } else {
    streams += "-c:a wmav2 ";
  }
  if (ext == "wmv") streams = "-f lavfi -i color=c=black:s=32x24:r=10 " + streams + "-c:v wmv2 ";
  const std::string command = "timeout 60 ffmpeg -v error -y -nostdin " + streams +
                              "-map_metadata -1 " + metadata + " " + quoted(path) +
                              " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// The texts of every container type ffmpeg writes.
TEST(ContainerTagsTest, FfmpegFilesGiveTheirTexts) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  testing::TempDir dir;
  for (const std::string ext : {"wma", "asf", "wmv", "wav"}) {
    SCOPED_TRACE(ext);
    const std::string path = dir.file("tagged." + ext);
    ASSERT_TRUE(writeWithFfmpeg(path, "-metadata 'title=Tïtle of " + ext +
                                          "' -metadata 'artist=Ärtist ☕' -metadata "
                                          "'album=Album 𝄞' -metadata 'comment=a comment'"));
    TagRecord r;
    ASSERT_TRUE(readTags(path, r));
    EXPECT_EQ(r.kind, ext == "wav" ? TagKind::kRiff : TagKind::kAsf);
    EXPECT_EQ(std::tie(r.title, r.artist, r.album, r.comment, r.year),
              std::make_tuple("Tïtle of " + ext, "Ärtist ☕", "Album 𝄞", "a comment", "No Data"));
  }
}

// ---- Hand-built bytes ----------------------------------------------------------------------

void append(Bytes& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }
void le32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
// A RIFF chunk: id, little-endian size, data, a pad byte when the size is odd.
Bytes chunk(std::string_view id, const Bytes& data) {
  Bytes out;
  append(out, id);
  le32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
  return out;
}
Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }
Bytes wav(const std::vector<Bytes>& chunks) {
  Bytes fmt = {1, 0, 1, 0};  // PCM, mono
  le32(fmt, 8000);
  le32(fmt, 16000);
  fmt.insert(fmt.end(), {2, 0, 16, 0});
  Bytes body = text("WAVE");
  for (const Bytes& c : {chunk("fmt ", fmt), chunk("data", Bytes(100, 0))}) {
    body.insert(body.end(), c.begin(), c.end());
  }
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return chunk("RIFF", body);
}
Bytes info(const std::vector<std::pair<std::string, Bytes>>& fields) {
  Bytes data = text("INFO");
  for (const auto& [id, value] : fields) {
    const Bytes c = chunk(id, value);
    data.insert(data.end(), c.begin(), c.end());
  }
  return chunk("LIST", data);
}

TagRecord read(const Bytes& bytes) {
  TagRecord record;
  readTagsFromBytes(bytes, "/music/Band/Album/file.wav", record);
  return record;
}

TEST(ContainerTagBytes, RiffInfoTextsInUtf8OrWindows1252) {
  // "Café" in Windows-1252 with its NUL; "Ünïcode" in UTF-8 without; an odd size with its pad.
  const TagRecord r = read(wav({info({{"INAM", Bytes{'C', 'a', 'f', 0xE9, 0}},
                                      {"IART", text("\xC3\x9Cn\xC3\xAF"
                                                    "code")},
                                      {"ISFT", text("Lavf")},
                                      {"IPRD", text("odd")},
                                      {"ICMT", text("Don\x92t")}})}));
  EXPECT_EQ(r.kind, TagKind::kRiff);
  EXPECT_EQ(r.title, "Caf\xC3\xA9");
  EXPECT_EQ(r.artist,
            "\xC3\x9Cn\xC3\xAF"
            "code");
  EXPECT_EQ(r.album, "odd");
  EXPECT_EQ(r.comment, "Don\xE2\x80\x99t");
}

TEST(ContainerTagBytes, AnId3ChunkInAWavWinsOverInfo) {
  Bytes id3 = text("ID3");
  id3.insert(id3.end(), {3, 0, 0, 0, 0, 0, 17});
  append(id3, "TIT2");
  id3.insert(id3.end(), {0, 0, 0, 7, 0, 0, 0});
  append(id3, "Id3 T.");
  ASSERT_EQ(id3.size(), 27u);
  const TagRecord r = read(wav(
      {info({{"INAM", text("Info title")}, {"IART", text("Info artist")}}), chunk("id3 ", id3)}));
  EXPECT_EQ(r.kind, TagKind::kRiff);
  EXPECT_EQ(r.title, "Id3 T.");
  EXPECT_EQ(r.artist, "Info artist");
  EXPECT_EQ(r.album, "No Data");
}

TEST(ContainerTagBytes, DamagedOrForeignContainersKeepTheDefaults) {
  Bytes whole = wav({info({{"INAM", text("Whole")}})});
  EXPECT_EQ(read(whole).title, "Whole");
  // Cut anywhere: never more than the defaults or what is whole; never outside the bytes.
  for (size_t n = 0; n < whole.size(); ++n) {
    const TagRecord r = read(Bytes(whole.begin(), whole.begin() + static_cast<long>(n)));
    EXPECT_TRUE(r.title == "file.wav" || r.title == "Whole") << n;
    EXPECT_EQ(r.artist, "No Data");
  }
  // A sub-chunk whose size runs past its list; a LIST that is not INFO.
  Bytes bad = info({{"INAM", text("ok")}});
  bad[19] = 0xFF;  // INAM's size: 0xFF000002 bytes
  EXPECT_EQ(read(wav({bad})).title, "file.wav");
  Bytes other_list = text("adtlINAM");
  le32(other_list, 3);
  append(other_list, "abc");
  EXPECT_EQ(read(wav({chunk("LIST", other_list)})).title, "file.wav");
  // An ASF header object whose sizes say more than there is.
  Bytes asf = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
               0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  for (int i = 0; i < 8; ++i) asf.push_back(0xFF);
  asf.insert(asf.end(), {0xFF, 0xFF, 0xFF, 0x7F, 1, 2});
  EXPECT_EQ(read(asf).title, "file.wav");
  EXPECT_EQ(read(asf).kind, TagKind::kNone);
}

}  // namespace
}  // namespace tunora::media

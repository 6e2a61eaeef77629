// The tag reader on files tagged by real taggers (tests/data/media, made by make_fixtures.sh).
#include <gtest/gtest.h>

#include <string>

#include "media/tag_reader.h"

namespace tunora::media {
namespace {

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
    {"ffmpeg_v23_utf16.mp3", TagKind::kId3v2, "Nocturne № 2", "Ψυχή", "Ночь", "ütf-16 comment"},
    {"id3lib_v23.mp3", TagKind::kId3v2, "Café Song", "Id3lib Artist", "Id3lib Album",
     "plain comment"},
    {"id3v1_only.mp3", TagKind::kId3v1, "V1 Title", "V1 Artist", "V1 Album", "V1 comment"},
    {"eyed3_v24_utf16.mp3", TagKind::kId3v2, "Eyed3 Ťitle", "Eyed3 Ärtist", "Eyed3 Album ✓",
     "eyed3 comment ✓"},
    {"eyed3_v23.mp3", TagKind::kId3v2, "Eyed3 v2.3 Title", "Eyed3 v2.3 Artist", "Eyed3 v2.3 Album",
     "v2.3 comment"},
    {"mutagen_v24_apic_first.mp3", TagKind::kId3v2, "Mutagen Tïtle", "Mutagen Ärtist",
     "Mutagen Album 𝄞", "mutagen comment"},
    {"mutagen_v23_apic_first.mp3", TagKind::kId3v2, "Mutagen Tïtle", "Mutagen Ärtist",
     "Mutagen Album 𝄞", "mutagen comment"},
    {"v22_handmade.mp3", TagKind::kId3v2, "V2.2 Tïtle", "V2.2 Artist", "V2.2 Album",
     "v2.2 comment"},
    {"no_tag.mp3", TagKind::kNone, "no_tag.mp3", "No Data", "No Data", "No Data"},
};

TEST(TagFixtures, EveryTaggerGivesTheTexts) {
  for (const Fixture& f : kFixtures) {
    SCOPED_TRACE(f.file);
    TagRecord record;
    ASSERT_TRUE(readTags(std::string(TUNORA_MEDIA_FIXTURES) + "/" + f.file, record));
    EXPECT_EQ(record.kind, f.kind);
    EXPECT_EQ(record.title, f.title);
    EXPECT_EQ(record.artist, f.artist);
    EXPECT_EQ(record.album, f.album);
    EXPECT_EQ(record.comment, f.comment);
  }
}

TEST(TagFixtures, UnopenableFilesGiveDefaultsAndFalse) {
  TagRecord record;
  record.artist = "stale";
  EXPECT_FALSE(readTags("/nonexistent/dir/song.mp3", record));
  EXPECT_EQ(record.title, "song.mp3");
  EXPECT_EQ(record.artist, "No Data");
  EXPECT_FALSE(readTags(TUNORA_MEDIA_FIXTURES, record));  // a folder
}

}  // namespace
}  // namespace tunora::media

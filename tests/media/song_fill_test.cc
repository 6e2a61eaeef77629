// Song texts from tags, file names and folder names; the LAME check.
#include "media/song_fill.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/support/temp_dir.h"

namespace tunora::media {
namespace {

class SongFillTest : public ::testing::Test {
 protected:
  std::string write(const std::string& relative, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(dir_.file(relative)).parent_path());
    testing::writeText(dir_.file(relative), bytes);
    return dir_.file(relative);
  }
  testing::TempDir dir_;
};

// An ID3v2.3 tag with a title and an artist frame (Latin-1), no album, then some audio bytes.
std::string titleArtistTag(const std::string& title, const std::string& artist) {
  auto frame = [](const char* id, const std::string& value) {
    const auto n = static_cast<char>(value.size() + 1);
    return std::string(id) + std::string("\0\0\0", 3) + n + std::string("\0\0\0", 3) + value;
  };
  const std::string body = frame("TIT2", title) + frame("TPE1", artist);
  return std::string("ID3\3\0\0\0\0\0", 9) + static_cast<char>(body.size()) + body + "audio";
}

TEST_F(SongFillTest, FolderNamesStandInForMissingTags) {
  const std::string path = write("Music/Some Band/First Album/03 Song.mp3", "no tag here");
  SongTexts t;
  ASSERT_TRUE(songTextsFromFile(path, false, TagOptions{}, t));
  EXPECT_EQ(*t.title, "03 Song");
  EXPECT_EQ(*t.artist, "Some Band");
  EXPECT_EQ(*t.album, "First Album");
  EXPECT_EQ(*t.note, "No Data");

  TagOptions off;
  off.dir_to_id = false;
  off.switches.play_mp3 = false;  // the file name no longer classifies: its extension stays
  ASSERT_TRUE(songTextsFromFile(path, false, off, t));
  EXPECT_EQ(*t.title, "03 Song.mp3");
  EXPECT_EQ(*t.artist, "No Data");
  EXPECT_EQ(*t.album, "No Data");
}

TEST_F(SongFillTest, TagTextsWinOverFolderNames) {
  const std::string path =
      write("Music/Some Band/First Album/03 Song.mp3", titleArtistTag("Mr. Jones", "Tag Band"));
  SongTexts t;
  ASSERT_TRUE(songTextsFromFile(path, false, TagOptions{}, t));
  EXPECT_EQ(*t.title, "Mr. Jones");  // a tag title does not classify: its dot stays
  EXPECT_EQ(*t.artist, "Tag Band");
  EXPECT_EQ(*t.album, "First Album");
  const std::string named = write("Music/Band/Album/x.mp3", titleArtistTag("Intro.MP3", "B"));
  ASSERT_TRUE(songTextsFromFile(named, false, TagOptions{}, t));
  EXPECT_EQ(*t.title, "Intro");
}

// An ID3v1 tag (the last 128 bytes) with the given title, artist and album fields.
std::string id3v1Tag(const std::string& title, const std::string& artist,
                     const std::string& album) {
  auto field = [](std::string text) {
    text.resize(30, '\0');
    return text;
  };
  return "audio bytes" + std::string("TAG") + field(title) + field(artist) + field(album) + "1999" +
         field("") + std::string(1, '\x0C');
}

TEST_F(SongFillTest, BlankId3v1FieldsStayBlankAndOnlyNoDataTakesFolderNames) {
  // Blank album, artist and comment (zeros, or blanks only): the tag says nothing, which is
  // stored as it is; the folder names stand in only for "No Data".
  const std::string path = write("Music/Some Band/First Album/03 Song.mp3",
                                 id3v1Tag("V1 Title", std::string(30, ' '), ""));
  SongTexts t;
  ASSERT_TRUE(songTextsFromFile(path, false, TagOptions{}, t));
  EXPECT_EQ(*t.title, "V1 Title");
  EXPECT_EQ(*t.artist, "");
  EXPECT_EQ(*t.album, "");
  EXPECT_EQ(*t.note, "");
  // A blank title keeps the file name; an album that says "No Data" takes the folder's.
  const std::string other =
      write("Music/Some Band/First Album/04 Other.mp3", id3v1Tag("", "V1 Band", "No Data"));
  ASSERT_TRUE(songTextsFromFile(other, false, TagOptions{}, t));
  EXPECT_EQ(*t.title, "04 Other");
  EXPECT_EQ(*t.artist, "V1 Band");
  EXPECT_EQ(*t.album, "First Album");
}

TEST_F(SongFillTest, UnusableFolderNames) {
  // One-letter folders have no usable name, and nothing above one is looked at.
  const std::string path = write("Music/Long Name/b/x.mp3", "");
  SongTexts t;
  ASSERT_TRUE(songTextsFromFile(path, false, TagOptions{}, t));
  EXPECT_EQ(*t.album, "No Data");
  EXPECT_EQ(*t.artist, "No Data");
  // Names only: the file is not opened, and a folder at the root has no artist above it.
  ASSERT_TRUE(songTextsFromFile("/Album/track.wav", true, TagOptions{}, t));
  EXPECT_EQ(*t.title, "track");
  EXPECT_EQ(*t.note, " ");
  EXPECT_EQ(*t.album, "Album");
  EXPECT_FALSE(t.artist);
  ASSERT_TRUE(songTextsFromFile("/track.wav", true, TagOptions{}, t));
  EXPECT_FALSE(t.album);
  TagOptions off;
  off.dir_to_id = false;
  ASSERT_TRUE(songTextsFromFile("/x/Band/Album/t.mp3", true, off, t));
  EXPECT_FALSE(t.album);
  EXPECT_FALSE(t.artist);
  EXPECT_FALSE(songTextsFromFile("/nonexistent/a/b.mp3", false, TagOptions{}, t));
}

TEST_F(SongFillTest, SongTextsAreCutToTheColumnAtACharacterBoundary) {
  std::string title;
  for (int i = 0; i < 40; ++i) title += "\xC3\xA9";  // 80 bytes of é
  const std::string path = write("A/x.mp3", titleArtistTag(title, "A"));
  SongTexts t;
  ASSERT_TRUE(songTextsFromFile(path, false, TagOptions{}, t));
  // The tag is Latin-1: each \xC3\xA9 byte pair becomes two characters of two bytes.
  EXPECT_EQ(t.title->size(), 62u);
}

TEST_F(SongFillTest, LameMark) {
  EXPECT_TRUE(hasLameMark(write("a.mp3", std::string(4999, 'x') + "LAME")));
  EXPECT_FALSE(hasLameMark(write("b.mp3", std::string(5000, 'x') + "LAME")));
  EXPECT_FALSE(hasLameMark(write("c.mp3", "LLAME")));  // the second L broke the word
  EXPECT_TRUE(hasLameMark(write("d.mp3", "LXLAME")));
  EXPECT_FALSE(hasLameMark(write("e.mp3", "LAM")));
  EXPECT_FALSE(hasLameMark(dir_.file("missing.mp3")));
}

TEST_F(SongFillTest, FillSongWritesTheColumns) {
  marlbase::TableHandle table;
  ASSERT_TRUE(createSongTable(table, dir_.file("songs.mbf")));
  const std::string lame = write("Music/Band X/Album Y/Song.mp3", "xxLAME");
  TagOptions options;
  options.lame_check = true;
  ASSERT_TRUE(fillSongFromFile(lame, table, 0, false, options));
  EXPECT_EQ(table.readText(0, kColTitle), "Song");
  EXPECT_EQ(table.readText(0, kColArtist), "Band X");
  EXPECT_EQ(table.readText(0, kColAlbum), "Album Y");
  EXPECT_EQ(table.readText(0, kColNote), "No Data");
  EXPECT_EQ(table.readInt(0, kColStartFrame), kLameStartFrame);
  // A start point already set is kept; a missing file writes nothing.
  ASSERT_TRUE(table.writeInt(0, kColStartFrame, 7));
  ASSERT_TRUE(table.writeText(0, kColTitle, "Kept"));
  EXPECT_FALSE(fillSongFromFile(dir_.file("gone.mp3"), table, 0, false, options));
  EXPECT_EQ(table.readText(0, kColTitle), "Kept");
  fillSongFromFile(lame, table, 0, true, options);
  EXPECT_EQ(table.readInt(0, kColStartFrame), 7u);
  EXPECT_EQ(table.readText(0, kColNote), " ");
  table.close();
}

}  // namespace
}  // namespace tunora::media

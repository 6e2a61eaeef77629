// Song texts from tags, file names and folder names; the LAME check; the file-name classifier
// (suffixes, case folding, switches), the media settings read out of the settings record, and
// the last component, parent folder and extension of paths.
#include "media/song_fill.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "library/song_columns.h"
#include "library/song_table.h"
#include "media/media_type.h"
#include "media/path_helpers.h"
#include "media/settings_adaptor.h"
#include "settings/settings_defaults.h"
#include "settings/settings_layout.h"
#include "tests/media/tag_bytes.h"
#include "tests/support/temp_dir.h"

namespace tunora::media {
namespace {

using namespace tag_bytes;

// An ID3v2.3 tag with a title and an artist frame (Latin-1), no album, then some audio bytes.
Bytes titleArtistTag(const std::string& title, const std::string& artist) {
  return tag(3, 0, frame23("TIT2", latin1(title)) + frame23("TPE1", latin1(artist))) +
         text("audio");
}

std::string opt(const std::optional<std::string>& text) { return text.value_or("<unset>"); }

// Tag texts win over the folder names, which stand in only for "No Data"; a blank tag field is
// stored blank; one-letter folders have no usable name; with names only the file is not opened.
TEST(SongFillTest, TextsFromTagsFileNamesAndFolderNames) {
  testing::TempDir dir;
  std::string title80;
  for (int i = 0; i < 40; ++i) title80 += "\xC3\xA9";  // 80 bytes of é
  const struct {
    const char* what;
    std::string file;  // under the scratch folder, or absolute with names only
    Bytes bytes;       // "-": names only
    bool dir_to_id;
    const char* title;
    const char* artist;
    const char* album;
    const char* note;
  } rows[] = {
      {"no tag", "Music/Some Band/First Album/03 Song.mp3", text("x"), true, "03 Song", "Some Band",
       "First Album", "No Data"},
      {"no tag, Dir -> ID off", "Music/Band/Album/03 Song.mp3", text("x"), false, "03 Song",
       "No Data", "No Data", "No Data"},
      {"ID3v2", "Music/Some Band/First Album/1.mp3", titleArtistTag("Mr. Jones", "Tag Band"), true,
       "Mr. Jones", "Tag Band", "First Album", "No Data"},  // a tag title keeps its dot
      {"a tag title that is a file name", "Music/Band/Album/x.mp3",
       titleArtistTag("Intro.MP3", "B"), true, "Intro", "B", "Album", "No Data"},
      {"blank ID3v1 fields", "Music/Some Band/First Album/2.mp3",
       text("audio") + id3v1("V1 Title", std::string(30, ' '), "", "1999", "", 0, 12), true,
       "V1 Title", "", "", ""},
      {"ID3v1 album No Data", "Music/Some Band/First Album/04 Other.mp3",
       text("audio") + id3v1("", "V1 Band", "No Data", "1999", "", 0, 12), true, "04 Other",
       "V1 Band", "First Album", ""},
      {"one-letter folder", "Music/Long Name/b/x.mp3", text(""), true, "x", "No Data", "No Data",
       "No Data"},
      // The tag is Latin-1: each byte of \xC3\xA9 becomes a character of two bytes; 62 fit.
      {"cut at a character", "A/x.mp3", titleArtistTag(title80, "A"), true, "\xC3\x83\xC2\xA9", "A",
       "No Data", "No Data"},
      {"names only", "/Album/track.wav", text("-"), true, "track", "<unset>", "Album", " "},
      {"names only at the root", "/track.wav", text("-"), true, "track", "<unset>", "<unset>", " "},
      {"names only, Dir -> ID off", "/x/Band/Album/t.mp3", text("-"), false, "t", "<unset>",
       "<unset>", " "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const bool names_only = row.bytes == text("-");
    std::string path = row.file;
    if (!names_only) {
      path = dir.file(row.file);
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      testing::writeBytes(path, row.bytes);
    }
    TagOptions options;
    options.dir_to_id = row.dir_to_id;
    SongTexts t;
    ASSERT_TRUE(songTextsFromFile(path, names_only, options, t));
    if (row.what == std::string("cut at a character")) {
      EXPECT_EQ(t.title->size(), 62u);
      t.title = t.title->substr(0, 4);
    }
    EXPECT_EQ(opt(t.title), row.title);
    EXPECT_EQ(opt(t.artist), row.artist);
    EXPECT_EQ(opt(t.album), row.album);
    EXPECT_EQ(opt(t.note), row.note);
  }
  SongTexts t;
  EXPECT_FALSE(songTextsFromFile("/nonexistent/a/b.mp3", false, TagOptions{}, t));
}

TEST(SongFillTest, LameMarkAndFillSongWritesTheColumns) {
  testing::TempDir dir;
  auto write = [&](const std::string& relative, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(dir.file(relative)).parent_path());
    testing::writeText(dir.file(relative), bytes);
    return dir.file(relative);
  };
  // The word within the first 5003 bytes; "LLAME" does not count (the second L broke the word).
  for (const auto& [bytes, mark] : {std::pair{std::string(4999, 'x') + "LAME", true},
                                    {std::string(5000, 'x') + "LAME", false},
                                    {"LLAME", false},
                                    {"LXLAME", true},
                                    {"LAM", false}}) {
    EXPECT_EQ(hasLameMark(write("a.mp3", bytes)), mark) << bytes.substr(0, 8);
  }

  marlbase::TableHandle table;
  ASSERT_TRUE(createSongTable(table, dir.file("songs.mbf")));
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
  EXPECT_FALSE(fillSongFromFile(dir.file("gone.mp3"), table, 0, false, options));
  EXPECT_EQ(table.readText(0, kColTitle), "Kept");
  fillSongFromFile(lame, table, 0, true, options);
  EXPECT_EQ(table.readInt(0, kColStartFrame), 7u);
  EXPECT_EQ(table.readText(0, kColNote), " ");
}

TEST(ClassifyMediaFile, SuffixesCaseAndSwitches) {
  MediaSwitches some;  // mp3, mpeg and wmv off
  some.play_mp3 = some.play_mpeg = some.play_wmv = false;
  MediaSwitches all = some;
  all.play_all = true;
  all.play_m4a = true;
  const struct {
    const char* name;
    uint32_t on, some, all;
  } rows[] = {
      {"a/Song.MP3", 1, 0, 1},  {"xmp3", 1, 0, 1},    {"x.wav", 2, 2, 2},    {"x.MID", 3, 3, 3},
      {"x.wma", 4, 4, 4},       {"x.asf", 5, 5, 5},   {"x.avi", 16, 16, 16}, {"x.mpg", 17, 0, 17},
      {"SONG.MPEG", 17, 0, 17}, {"x.wmv", 18, 0, 18}, {"song.m4a", 0, 0, 0}, {"x.rmi", 0, 0, 0},
      {"p3", 0, 0, 0},          {"x.mp3 ", 0, 0, 0},  {"x.ＭP3", 0, 0, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(classifyMediaFile(row.name, MediaSwitches{}), row.on) << row.name;
    EXPECT_EQ(classifyMediaFile(row.name, some), row.some) << row.name << " (some off)";
    EXPECT_EQ(classifyMediaFile(row.name, all), row.all) << row.name << " (all)";
  }
  for (uint32_t type : {0u, 5u, 14u}) EXPECT_EQ(mediaClassText(type), "Audio") << type;
  for (uint32_t type : {15u, 18u}) EXPECT_EQ(mediaClassText(type), "Video") << type;
}

TEST(SettingsAdaptor, DefaultsAndSwitchesTurnedOff) {
  Settings settings;
  resetAll(settings);
  TagOptions o = tagOptionsOf(settings);
  const MediaSwitches& s = o.switches;
  EXPECT_TRUE(o.dir_to_id && !o.lame_check && !s.play_all && !s.play_m4a);
  EXPECT_TRUE(s.play_mp3 && s.play_wav && s.play_midi && s.play_wma && s.play_asf && s.play_avi &&
              s.play_mpeg && s.play_wmv);
  settings.set(settings::kPlayMpeg, 0);
  settings.set(settings::kPlayAll, 1);
  settings.set(settings::kDirToId, 0);
  settings.set(settings::kLameCheck, 1);
  o = tagOptionsOf(settings);
  EXPECT_TRUE(!o.switches.play_mpeg && o.switches.play_all && !o.dir_to_id && o.lame_check);
}

TEST(PathHelpers, NamesFoldersAndExtensions) {
  using F = std::string (*)(std::string_view);
  const struct {
    F f;
    const char* in;
    const char* out;
  } rows[] = {
      {lastPathComponent, "/music/Album/", "Album"},
      {lastPathComponent, "/music/x", "/music/x"},  // a one-letter name
      {lastPathComponent, "/ab", "ab"},
      {lastPathComponent, "ab/", "ab/"},  // not longer than 2 characters
      {parentFolderOf, "/music/band/song.mp3", "/music/band/"},
      {parentFolderOf, "/song.mp3", "/"},
      {parentFolderOf, "song.mp3", "song.mp3"},
      {stripExtension, "a.b.c", "a.b"},
      {stripExtension, "noext", "noext"},
      {stripExtension, ".hidden", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(row.f(row.in), row.out) << row.in;
}

}  // namespace
}  // namespace tunora::media

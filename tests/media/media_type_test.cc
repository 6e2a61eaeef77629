// The file-name classifier (suffixes, case folding, switches), the media settings read out of
// the settings record, and the last component, parent folder and extension of paths.
#include "media/media_type.h"

#include <gtest/gtest.h>

#include "media/path_helpers.h"
#include "media/settings_adaptor.h"
#include "settings/settings_defaults.h"
#include "settings/settings_layout.h"

namespace tunora::media {
namespace {

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

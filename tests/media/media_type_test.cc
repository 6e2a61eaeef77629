// The file-name classifier (suffixes, case folding, switches) and the media settings read out of
// the settings record.
#include "media/media_type.h"

#include <gtest/gtest.h>

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
      {"Song.MP3", 1, 0, 1},    {"/music/a/song.mp3", 1, 0, 1},
      {"xmp3", 1, 0, 1},        {"mp3", 1, 0, 1},
      {"x.wav", 2, 2, 2},       {"x.MID", 3, 3, 3},
      {"x.wma", 4, 4, 4},       {"x.asf", 5, 5, 5},
      {"x.avi", 16, 16, 16},    {"x.mpg", 17, 0, 17},
      {"SONG.MPEG", 17, 0, 17}, {"x.wmv", 18, 0, 18},
      {"song.jpeg", 0, 0, 0},   {"song.m4a", 0, 0, 0},
      {"x.rmi", 0, 0, 0},       {"", 0, 0, 0},
      {"p3", 0, 0, 0},          {"peg", 0, 0, 0},
      {"x.mp4", 0, 0, 0},       {"x.mp3 ", 0, 0, 0},
      {"x.ＭP3", 0, 0, 0},
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
  TagOptions options = tagOptionsOf(settings);
  EXPECT_TRUE(options.dir_to_id);
  EXPECT_FALSE(options.lame_check);
  EXPECT_FALSE(options.switches.play_all);
  EXPECT_TRUE(options.switches.play_mp3 && options.switches.play_wav &&
              options.switches.play_midi && options.switches.play_wma &&
              options.switches.play_asf && options.switches.play_avi &&
              options.switches.play_mpeg && options.switches.play_wmv);
  EXPECT_FALSE(options.switches.play_m4a);
  settings.set(settings::kPlayMpeg, 0);
  settings.set(settings::kPlayAll, 1);
  settings.set(settings::kDirToId, 0);
  settings.set(settings::kLameCheck, 1);
  options = tagOptionsOf(settings);
  EXPECT_FALSE(options.switches.play_mpeg);
  EXPECT_TRUE(options.switches.play_all);
  EXPECT_FALSE(options.dir_to_id);
  EXPECT_TRUE(options.lame_check);
}

}  // namespace
}  // namespace tunora::media

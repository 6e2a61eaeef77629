// The media settings read out of the settings record.
#include "media/settings_adaptor.h"

#include <gtest/gtest.h>

#include "settings/settings_defaults.h"
#include "settings/settings_layout.h"

namespace tunora::media {
namespace {

TEST(SettingsAdaptor, DefaultsAndSwitchesTurnedOff) {
  Settings settings;
  resetAll(settings);
  TagOptions options = tagOptionsOf(settings);
  EXPECT_TRUE(options.dir_to_id);
  EXPECT_FALSE(options.lame_check);
  EXPECT_FALSE(options.switches.play_all);
  EXPECT_TRUE(options.switches.play_mp3 && options.switches.play_wav && options.switches.play_midi &&
              options.switches.play_wma && options.switches.play_asf && options.switches.play_avi &&
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
  EXPECT_EQ(classifyMediaFile("a.mpeg", options.switches), kMediaMpeg);
}

}  // namespace
}  // namespace tunora::media

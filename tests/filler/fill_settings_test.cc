// The filler's choices survive "dTnFill.dat": the bytes at their places in the file, and back.
#include <gtest/gtest.h>

#include "settings/filler_layout.h"
#include "settings/filler_settings_file.h"
#include "tests/support/temp_dir.h"

namespace tunora {
namespace {

TEST(FillSettingsTest, TheChoicesRoundTripThroughTheFile) {
  testing::TempDir data;
  Settings s;
  s.set(settings::kFillSizeIndex, 7);
  s.set(settings::kFillPlayWmv, 1);
  s.set(settings::kFillAltMode, 9);
  s.set(settings::kFillAddNumber, 1);
  s.setText(settings::kFillOutputDir, "/media/player/Music");
  ASSERT_TRUE(saveFillerSettings(s, data.folder()).ok());
  const std::vector<uint8_t> bytes = testing::readBytes(data.file("dTnFill.dat"));
  ASSERT_EQ(bytes.size(), 1008u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "TUNO1401");
  EXPECT_EQ(bytes[8 + 0], 7);
  EXPECT_EQ(bytes[8 + 32], 1);
  EXPECT_EQ(bytes[8 + 52], 9);
  EXPECT_EQ(bytes[8 + 60], 1);
  const std::string folder = "/media/player/Music";
  EXPECT_EQ(std::string(bytes.begin() + 88, bytes.begin() + 88 + 19), folder);
  EXPECT_EQ(bytes[88 + 19], 0);

  Settings loaded;
  ASSERT_TRUE(loadFillerSettings(data.folder(), loaded));
  EXPECT_EQ(loaded.get(settings::kFillSizeIndex), 7);
  EXPECT_EQ(loaded.get(settings::kFillAltMode), 9);
  EXPECT_EQ(loaded.text(settings::kFillOutputDir), folder);
  EXPECT_TRUE(loaded == s);
}

}  // namespace
}  // namespace tunora

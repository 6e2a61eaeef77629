// The file-name classifier: suffixes, case folding, switches.
#include "media/media_type.h"

#include <gtest/gtest.h>

namespace tunora::media {
namespace {

TEST(ClassifyMediaFile, SuffixesAndCaseFolding) {
  const MediaSwitches on;
  EXPECT_EQ(classifyMediaFile("Song.MP3", on), 1u);
  EXPECT_EQ(classifyMediaFile("SONG.Mp3", on), 1u);
  EXPECT_EQ(classifyMediaFile("/music/a/song.mp3", on), 1u);
  EXPECT_EQ(classifyMediaFile("x.wav", on), 2u);
  EXPECT_EQ(classifyMediaFile("x.MID", on), 3u);
  EXPECT_EQ(classifyMediaFile("x.wma", on), 4u);
  EXPECT_EQ(classifyMediaFile("x.asf", on), 5u);
  EXPECT_EQ(classifyMediaFile("x.avi", on), 16u);
  EXPECT_EQ(classifyMediaFile("x.mpg", on), 17u);
  EXPECT_EQ(classifyMediaFile("song.mpeg", on), 17u);
  EXPECT_EQ(classifyMediaFile("SONG.MPEG", on), 17u);
  EXPECT_EQ(classifyMediaFile("x.wmv", on), 18u);
  // No dot is needed: only the bare tail counts.
  EXPECT_EQ(classifyMediaFile("xmp3", on), 1u);
  EXPECT_EQ(classifyMediaFile("mp3", on), 1u);
}

TEST(ClassifyMediaFile, UnhandledNames) {
  MediaSwitches all;
  all.play_all = true;
  all.play_m4a = true;
  for (const char* name : {"song.jpeg", "song.m4a", "x.rmi", "x.aif", "x.au", "x.snd", "", "p3",
                           "peg", "x.mp4", "x.mp3 ", "x.ＭP3"}) {
    EXPECT_EQ(classifyMediaFile(name, all), 0u) << name;
  }
}

TEST(ClassifyMediaFile, SwitchesAndAll) {
  MediaSwitches s;
  s.play_mp3 = false;
  s.play_mpeg = false;
  s.play_wmv = false;
  EXPECT_EQ(classifyMediaFile("a.mp3", s), 0u);
  EXPECT_EQ(classifyMediaFile("a.mpg", s), 0u);
  EXPECT_EQ(classifyMediaFile("a.mpeg", s), 0u);
  EXPECT_EQ(classifyMediaFile("a.wmv", s), 0u);
  EXPECT_EQ(classifyMediaFile("a.wav", s), 2u);
  s.play_all = true;
  EXPECT_EQ(classifyMediaFile("a.mp3", s), 1u);
  EXPECT_EQ(classifyMediaFile("a.mpeg", s), 17u);
  EXPECT_EQ(classifyMediaFile("a.wmv", s), 18u);
}

TEST(MediaClassText, VideoFromFifteenUp) {
  EXPECT_EQ(mediaClassText(0), "Audio");
  EXPECT_EQ(mediaClassText(5), "Audio");
  EXPECT_EQ(mediaClassText(14), "Audio");
  EXPECT_EQ(mediaClassText(15), "Video");
  EXPECT_EQ(mediaClassText(18), "Video");
}

}  // namespace
}  // namespace tunora::media

// The status line of tunora-cli play: its text for playing, paused and stopped, the writer that
// rewrites a terminal's line in place, and the reasons keys give when they do nothing.
#include "cli/play_line.h"

#include <gtest/gtest.h>

namespace tunora::cli {
namespace {

PlayLineInputs playing(int64_t position) {
  PlayLineInputs in;
  in.mode = PlayMode::kPlaying;
  in.position = position;
  in.length = 240000;
  in.song = "Echo Paper - Dee Minor - Minor Things  [*****.....]";
  in.texts = {"20 songs prepared", "31 entries", "User One"};
  return in;
}

TEST(PlayLine, ShowsTheModeTheClockAndTheSong) {
  EXPECT_EQ(clockText(0), "0:00");
  EXPECT_EQ(clockText(65999), "1:05");
  EXPECT_EQ(clockText(3723000), "1:02:03");
  EXPECT_EQ(clockText(-1), "0:00");  // while switching songs

  EXPECT_EQ(playLine(playing(65000)),
            "Playing 1:05 / 4:00  Echo Paper - Dee Minor - Minor Things  [*****.....]"
            " | 20 songs prepared | 31 entries | User One");
  PlayLineInputs paused = playing(65000);
  paused.mode = PlayMode::kPaused;
  paused.problem = "No usable audio output";
  paused.message = "nothing to skip while paused (p plays on)";
  EXPECT_EQ(playLine(paused),
            "Paused 1:05 / 4:00  Echo Paper - Dee Minor - Minor Things  [*****.....]"
            "  [No usable audio output] | 20 songs prepared | 31 entries | User One"
            " - nothing to skip while paused (p plays on)");
  PlayLineInputs stopped = playing(0);
  stopped.mode = PlayMode::kStopped;
  EXPECT_EQ(playLine(stopped), "Stopped | 20 songs prepared | 31 entries | User One");
  PlayLineInputs unknown_length = playing(1000);
  unknown_length.length = 0;
  EXPECT_EQ(playLine(unknown_length).rfind("Playing 0:01  Echo", 0), 0u);
}

TEST(StatusLineWriter, ATerminalLineIsRewrittenInPlaceOnlyWhenItChanges) {
  StatusLineWriter writer(true);
  const std::string first = writer.update(playing(1000));
  EXPECT_EQ(first.rfind("\r\033[KPlaying 0:01 / 4:00", 0), 0u);
  EXPECT_EQ(first.find('\n'), std::string::npos);
  EXPECT_EQ(writer.update(playing(1400)), "");  // the same second: nothing to write
  EXPECT_EQ(writer.update(playing(2000)).rfind("\r\033[KPlaying 0:02", 0), 0u);

  // A message above the line ends the line; the status line is then written again.
  EXPECT_EQ(writer.permanent("tunora-cli: No usable audio output"),
            "\r\033[Ktunora-cli: No usable audio output\n");
  EXPECT_EQ(writer.update(playing(2000)).rfind("\r\033[KPlaying 0:02", 0), 0u);
}

TEST(KeyRefusal, KeysThatDoNothingSayWhy) {
  const KeyContext stopped{false, false, 20};
  const KeyContext now_playing{true, false, 20};
  const KeyContext paused{false, true, 20};
  const KeyContext filling{true, false, 1};
  for (char key : {'p', 's', 'r', 'b', 'q'}) EXPECT_EQ(keyRefusal(key, now_playing), "") << key;
  EXPECT_EQ(keyRefusal('p', stopped), "");
  EXPECT_EQ(keyRefusal('b', stopped), "");  // plays the song before, or the list top
  EXPECT_NE(keyRefusal('s', stopped).find("nothing to skip"), std::string::npos);
  EXPECT_NE(keyRefusal('r', stopped).find("nothing to restart"), std::string::npos);
  EXPECT_NE(keyRefusal('s', paused).find("paused"), std::string::npos);
  EXPECT_NE(keyRefusal('p', filling).find("2 songs are prepared"), std::string::npos);
  EXPECT_EQ(keyRefusal('q', filling), "");
  EXPECT_NE(keyRefusal('x', now_playing).find("s skip"), std::string::npos);
  EXPECT_EQ(keyRefusal('\n', now_playing), "");
  EXPECT_EQ(keyRefusal(' ', now_playing), "");
}

}  // namespace
}  // namespace tunora::cli

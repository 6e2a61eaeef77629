// The GStreamer media window against real files of every supported type made at test time (label
// "gstreamer"): length, position, play-from, the end, an MP3 that learns its length while it
// plays, missing and broken files. Sound goes to "fakesink sync=true" unless the environment
// names a sink. Real media waits in real time: every wait is a bounded loop of short polls.
#include "player/gst/gst_media_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <thread>

#include "player/demo_songs.h"
#include "tests/support/temp_dir.h"

namespace tunora::gst {
namespace {

using tunora::testing::TempDir;
using tunora::testing::writeBytes;

[[maybe_unused]] const bool kSinksSet = setenv(kAudioSinkVariable, "fakesink sync=true", 0) == 0 &&
                                        setenv(kVideoSinkVariable, "fakesink sync=true", 0) == 0;

// Generous, so that a loaded machine passes; a playing file needs well under a second.
bool pollUntil(GstMediaWindow& window, const std::function<bool()>& done) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    (void)window.position();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Ten tenths of a second of each type (WAV by the demo-song writer, MIDI a middle C held for 192
// ticks, the others by gst-launch-1.0 with the plugin packages' encoders), and "nx.mp3": two
// seconds of MP3 without the Xing header that gives the length. Extension -> path of those made.
std::map<std::string, std::string> makeFixtures(const std::string& dir) {
  std::map<std::string, std::string> made;
  auto path = [&](const std::string& ext) { return dir + "/one." + ext; };
  if (player::writeToneWav(path("wav"), 1000, 1).ok()) made["wav"] = path("wav");
  // Format 0, 96 ticks a quarter at 120 beats a minute: on, 192 ticks, off, end of track.
  writeBytes(path("mid"), {'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,    1,
                           0,    96,   'M',  'T',  'r',  'k',  0,    0,    0,    13,   0x00, 0x90,
                           0x3C, 0x64, 0x81, 0x40, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00});
  made["mid"] = path("mid");
  const std::string audio =
      "audiotestsrc num-buffers=10 samplesperbuffer=4410 ! "
      "audio/x-raw,rate=44100,channels=2 ! audioconvert";
  const std::string video =
      "videotestsrc num-buffers=10 ! video/x-raw,width=32,height=24,framerate=10/1 ! "
      "videoconvert";
  const std::map<std::string, std::string> pipelines = {
      {"mp3", audio + " ! lamemp3enc ! xingmux ! filesink location=" + path("mp3")},
      {"nx.mp3",
       "audiotestsrc num-buffers=20 samplesperbuffer=4410 ! "
       "audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc ! "
       "filesink location=" +
           path("nx.mp3")},
      {"wma", audio + " ! avenc_wmav2 ! asfmux ! filesink location=" + path("wma")},
      // MPEG-1 program stream with layer 2 sound (this libav's MPEG-1 video encoder refuses
      // every frame rate, and mpegpsmux writes time stamps that put the end hours away).
      {"mpg", audio +
                  " ! audioresample ! audio/x-raw,rate=48000 ! twolamemp2enc ! "
                  "mpegaudioparse ! avmux_mpeg ! filesink location=" +
                  path("mpg")},
      {"avi", "avimux name=m ! filesink location=" + path("avi") + " " + video +
                  " ! jpegenc ! m. " + audio + " ! m."},
      {"wmv", "asfmux name=m ! filesink location=" + path("wmv") + " " + video +
                  " ! avenc_wmv2 ! m. " + audio + " ! avenc_wmav2 ! m."},
  };
  for (const auto& [ext, pipeline] : pipelines) {
    const std::string command = "timeout 20 gst-launch-1.0 -q " + pipeline + " >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) made[ext] = path(ext);
  }
  return made;
}

// The fixture of `ext`, made once for the whole run; "" when it could not be made.
std::string fixture(const std::string& ext) {
  static const TempDir dir;
  static const std::map<std::string, std::string> made = makeFixtures(dir.path().string());
  auto it = made.find(ext);
  return it == made.end() ? "" : it->second;
}

class GstMediaWindowTest : public ::testing::TestWithParam<std::string> {
 protected:
  // A decoder under a race detector on a busy machine may take longer than the program waits.
  GstMediaWindow window_{nullptr, std::chrono::seconds(60)};
};

TEST_P(GstMediaWindowTest, ReportsTheLengthPlaysFromAPointAndReachesTheEnd) {
  const std::string file = fixture(GetParam());
  ASSERT_FALSE(file.empty()) << "no fixture could be made for " << GetParam();
  ASSERT_TRUE(window_.open(file).ok()) << file;
  EXPECT_NEAR(window_.endPosition(), 1000, 150);
  EXPECT_EQ(window_.position(), 0);
  window_.playFrom(400);
  EXPECT_NEAR(window_.position(), 400, 100);
  // An end point (700) is met while the file still plays.
  ASSERT_TRUE(pollUntil(window_, [&] { return window_.position() >= 700; }));
  EXPECT_FALSE(window_.ended());
  window_.playFrom(250);  // a seek while playing lands near its target too
  EXPECT_NEAR(window_.position(), 250, 100);
  ASSERT_TRUE(pollUntil(window_, [&] { return window_.ended(); }));
  EXPECT_GE(window_.position(), window_.endPosition());
  window_.close();
  EXPECT_FALSE(window_.isOpen());
}

INSTANTIATE_TEST_SUITE_P(EveryType, GstMediaWindowTest,
                         ::testing::Values("mp3", "wav", "mid", "wma", "avi", "mpg", "wmv"));

// It opens without a length (not its end), learns it while it plays and ends after it: the player
// then plays it to its end and rates it so (the player's test over the fake window).
TEST(GstMediaWindowLength, AnMp3WithoutALengthHeaderLearnsItsLengthAndEnds) {
  GstMediaWindow window;
  ASSERT_TRUE(window.open(fixture("nx.mp3")).ok());
  window.play();
  EXPECT_FALSE(window.ended());
  ASSERT_TRUE(pollUntil(window, [&] { return window.ended(); }));
  EXPECT_GE(window.position(), 1800);
  EXPECT_NEAR(window.endPosition(), 2000, 200);
}

TEST(GstMediaWindowFailures, MissingAndBrokenFilesFailWithoutHanging) {
  TempDir dir;
  GstMediaWindow window;
  EXPECT_EQ(window.open(dir.file("nothing.mp3")).code(), Status::Code::kNotFound);
  EXPECT_FALSE(window.isOpen());
  std::vector<uint8_t> noise(4096);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
  writeBytes(dir.file("noise.mp3"), noise);
  // A WAV header that promises data it does not have.
  writeBytes(dir.file("short.wav"), {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0, 0, 'W', 'A', 'V', 'E'});
  for (const char* name : {"noise.mp3", "short.wav"}) {
    // The open's own time-out bounds it; a hang is the test's time-out.
    EXPECT_FALSE(window.open(dir.file(name)).ok()) << name;
    EXPECT_FALSE(window.isOpen());
  }
}

}  // namespace
}  // namespace tunora::gst

// The GStreamer media window against real files of every supported type, made at test time
// (label "gstreamer"): the length is reported, the position moves, the end is reached, play-from
// lands near its target, a start and an end point can be kept, and a missing or broken file fails
// at once. An MP3 without a length header learns its length while it plays and still ends, and
// MIDI comes out near the loudness of a WAV song. Sound goes to "fakesink sync=true"
// (TUNORA_AUDIO_SINK) unless the environment names a sink.
//
// These tests play real media, so they wait in real time: every wait is a bounded loop of
// short polls.
#include "player/gst/gst_media_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
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

// A format-0 MIDI file of `track`'s events, 96 ticks a quarter at the default 120 beats a minute.
std::vector<uint8_t> midi(std::vector<uint8_t> track) {
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});  // end of track
  std::vector<uint8_t> file = {
      'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
      1,   0,   96,  'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
  for (uint8_t byte : track) file.push_back(byte);  // not insert(): GCC 12 -O2 warns wrongly
  return file;
}

// Ten tenths of a second of each type (WAV by the demo-song writer, MIDI a middle C held for 192
// ticks, the others by gst-launch-1.0 with the plugin packages' encoders), and "nx.mp3": two
// seconds of MP3 without the Xing header that gives the length. Extension -> path of those made.
std::map<std::string, std::string> makeFixtures(const std::string& dir) {
  std::map<std::string, std::string> made;
  auto path = [&](const std::string& ext) { return dir + "/one." + ext; };
  if (player::writeToneWav(path("wav"), 1000, 1).ok()) made["wav"] = path("wav");
  writeBytes(path("mid"), midi({0x00, 0x90, 0x3C, 0x64, 0x81, 0x40, 0x80, 0x3C, 0x40}));
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
      {"asf", audio + " ! avenc_wmav2 ! asfmux ! filesink location=" + path("asf")},
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
  GstMediaWindow window_;
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
                         ::testing::Values("mp3", "wav", "mid", "wma", "asf", "avi", "mpg", "wmv"));

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

// RMS level in dB (full scale = 0) of 16-bit little-endian mono samples in `path`.
double levelOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  double sum = 0;
  size_t n = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2, ++n) {
    const auto sample = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                             static_cast<uint8_t>(bytes[i + 1]) << 8);
    sum += static_cast<double>(sample) * sample;
  }
  if (n == 0 || sum == 0) return -200;
  return 10 * std::log10(sum / static_cast<double>(n) / (32768.0 * 32768.0));
}

TEST(GstMediaWindowLevels, MidiPlaysWithinSixDecibelsOfAWavSong) {
  TempDir dir;
  ASSERT_TRUE(player::writeToneWav(dir.file("song.wav"), 2000, 3).ok());  // a demo song's tune
  // Four three-note chords of one second each, velocity 100.
  std::vector<uint8_t> chords;
  for (uint8_t root : {60, 65, 67, 60}) {
    for (uint8_t step : {0, 4, 7})
      chords.insert(chords.end(), {0x00, 0x90, uint8_t(root + step), 0x64});
    chords.insert(chords.end(), {0x81, 0x40, 0x80, root, 0x40});
    for (uint8_t step : {4, 7})
      chords.insert(chords.end(), {0x00, 0x80, uint8_t(root + step), 0x40});
  }
  writeBytes(dir.file("song.mid"), midi(chords));
  std::map<std::string, double> level;
  for (const char* name : {"song.wav", "song.mid"}) {
    const std::string out = dir.file(std::string(name) + ".raw");
    setenv(kAudioSinkVariable,
           ("audioconvert ! audioresample ! audio/x-raw,format=S16LE,channels=1,rate=22050 ! "
            "filesink location=" +
            out)
               .c_str(),
           1);
    GstMediaWindow window;
    const bool played = window.open(dir.file(name)).ok() &&
                        (window.play(), pollUntil(window, [&] { return window.ended(); }));
    window.close();
    setenv(kAudioSinkVariable, "fakesink sync=true", 1);
    ASSERT_TRUE(played) << name;
    level[name] = levelOf(out);
  }
  // Without the synthesiser's gain the MIDI song is over 20 dB quieter.
  EXPECT_NEAR(level["song.mid"], level["song.wav"], 6.0)
      << "MIDI " << level["song.mid"] << " dB, WAV " << level["song.wav"] << " dB";
}

}  // namespace
}  // namespace tunora::gst

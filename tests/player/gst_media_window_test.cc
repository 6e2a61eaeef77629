// The GStreamer media window against real files of every supported type (label "gstreamer"):
// the length is reported, the position moves, the end is reached, play-from lands near its
// target, a start and an end point can be kept, and a missing or broken file fails at once.
// Sound goes to "fakesink sync=true" (TUNORA_AUDIO_SINK) unless the environment names a sink.
// Also: a file prepared ahead opens and plays, an output that fails plays into nothing and says
// so, and MIDI comes out near the loudness of a WAV song. (An MP3 that learns its length while it
// plays is the player's GStreamer test.)
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
#include <optional>
#include <thread>

#include "player/demo_songs.h"
#include "tests/player/media_fixtures.h"

namespace tunora::gst {
namespace {

[[maybe_unused]] const bool kSinksSet = setenv(kAudioSinkVariable, "fakesink sync=true", 0) == 0 &&
                                        setenv(kVideoSinkVariable, "fakesink sync=true", 0) == 0;

using Clock = std::chrono::steady_clock;
// Generous, so that a loaded machine passes; a playing file needs well under a second.
constexpr std::chrono::seconds kPlayBound{30};

bool pollUntil(GstMediaWindow& window, const std::function<bool()>& done) {
  const auto give_up = Clock::now() + kPlayBound;
  while (!done()) {
    if (Clock::now() > give_up) return false;
    (void)window.position();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class GstMediaWindowTest : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new tunora::testing::TempDir();
    fixtures_ = new std::map<std::string, std::string>(
        tunora::testing::makeMediaFixtures(dir_->path().string()));
  }
  static void TearDownTestSuite() {
    delete fixtures_;
    delete dir_;
  }
  std::string fixture() {
    auto it = fixtures_->find(GetParam());
    return it == fixtures_->end() ? "" : it->second;
  }

  static tunora::testing::TempDir* dir_;
  static std::map<std::string, std::string>* fixtures_;
  GstMediaWindow window_;
};
tunora::testing::TempDir* GstMediaWindowTest::dir_ = nullptr;
std::map<std::string, std::string>* GstMediaWindowTest::fixtures_ = nullptr;

TEST_P(GstMediaWindowTest, ReportsTheLengthPlaysFromAPointAndReachesTheEnd) {
  const std::string file = fixture();
  ASSERT_FALSE(file.empty()) << "no fixture could be made for " << GetParam();
  ASSERT_TRUE(window_.open(file).ok()) << file;
  EXPECT_NEAR(window_.endPosition(), tunora::testing::kFixtureMillis, 150);
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
  EXPECT_EQ(window_.position(), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryType, GstMediaWindowTest,
                         ::testing::Values("mp3", "wav", "mid", "wma", "asf", "avi", "mpg", "wmv"));

TEST(GstMediaWindowFailures, MissingAndBrokenFilesFailWithoutHanging) {
  tunora::testing::TempDir dir;
  GstMediaWindow window;
  EXPECT_EQ(window.open(dir.file("nothing.mp3")).code(), Status::Code::kNotFound);
  EXPECT_FALSE(window.isOpen());

  std::vector<uint8_t> noise(4096);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
  tunora::testing::writeBytes(dir.file("noise.mp3"), noise);
  // A WAV header that promises data it does not have.
  tunora::testing::writeBytes(dir.file("short.wav"),
                              {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0, 0, 'W', 'A', 'V', 'E'});
  for (const char* name : {"noise.mp3", "short.wav"}) {
    const auto started = Clock::now();
    EXPECT_FALSE(window.open(dir.file(name)).ok()) << name;
    // Bounded by the open's own time-out (plus room for a loaded machine), not left hanging.
    EXPECT_LT(Clock::now() - started, kOpenTimeout + std::chrono::seconds(20)) << name;
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(window.endPosition(), 0);
  }
}

// Sets the audio sink for one scope, back to fakesink after it.
struct ScopedSink {
  explicit ScopedSink(const std::string& sink) { setenv(kAudioSinkVariable, sink.c_str(), 1); }
  ~ScopedSink() { setenv(kAudioSinkVariable, "fakesink sync=true", 1); }
};

// Opens and plays `file` to its end; false when it does not open or end in time.
bool playToEnd(GstMediaWindow& window, const std::string& file) {
  if (!window.open(file).ok()) return false;
  window.play();
  return pollUntil(window, [&] { return window.ended(); });
}

TEST(GstMediaWindowAhead, APreparedFileOpensAndPlaysAndAnotherPathDropsIt) {
  tunora::testing::TempDir dir;
  ASSERT_TRUE(player::writeToneWav(dir.file("a.wav"), 300, 1).ok());
  ASSERT_TRUE(player::writeToneWav(dir.file("b.wav"), 600, 2).ok());
  GstMediaWindow window;
  window.prepare(dir.file("missing.wav"));  // harmless: found out by its open()
  EXPECT_FALSE(window.open(dir.file("missing.wav")).ok());

  window.prepare(dir.file("a.wav"));
  ASSERT_TRUE(window.open(dir.file("a.wav")).ok());
  EXPECT_NEAR(window.endPosition(), 300, 50);
  window.play();
  ASSERT_TRUE(pollUntil(window, [&] { return window.ended(); }));
  EXPECT_GE(window.position(), window.endPosition());

  // Prepared for one path, opened at another: the other plays, with its own length.
  window.prepare(dir.file("a.wav"));
  ASSERT_TRUE(window.open(dir.file("b.wav")).ok());
  EXPECT_NEAR(window.endPosition(), 600, 50);
  EXPECT_FALSE(window.ended());
  ASSERT_TRUE(playToEnd(window, dir.file("a.wav")));
  EXPECT_EQ(window.outputProblem(), "");
}

TEST(GstMediaWindowOutput, AnOutputThatCannotOpenPlaysIntoNothingAndSaysSo) {
  // A PulseAudio sink pointed at a server that is not there fails when the file prerolls.
  ScopedSink sink("pulsesink server=unix:/nonexistent/tunora-no-server");
  tunora::testing::TempDir dir;
  ASSERT_TRUE(player::writeToneWav(dir.file("a.wav"), 400, 1).ok());
  GstMediaWindow window;
  ASSERT_TRUE(window.open(dir.file("a.wav")).ok());
  EXPECT_EQ(window.outputProblem(), kNoAudioOutput);
  EXPECT_NEAR(window.endPosition(), 400, 50);
  window.play();
  ASSERT_TRUE(pollUntil(window, [&] { return window.ended(); }));  // the song's time still passes
  window.close();
  EXPECT_EQ(window.outputProblem(), "");
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

// Four three-note chords of one second each (format 0, 96 ticks a quarter, velocity 100).
std::vector<uint8_t> chordsMidi() {
  std::vector<uint8_t> track;
  for (uint8_t root : {60, 65, 67, 60}) {
    for (uint8_t step : {0, 4, 7})
      track.insert(track.end(), {0x00, 0x90, uint8_t(root + step), 0x64});
    track.insert(track.end(), {0x81, 0x40, 0x80, root, 0x40});
    for (uint8_t step : {4, 7}) track.insert(track.end(), {0x00, 0x80, uint8_t(root + step), 0x40});
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  std::vector<uint8_t> file = {
      'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
      1,   0,   96,  'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

TEST(GstMediaWindowLevels, MidiPlaysWithinSixDecibelsOfAWavSong) {
  tunora::testing::TempDir dir;
  ASSERT_TRUE(player::writeToneWav(dir.file("song.wav"), 2000, 3).ok());  // a demo song's tune
  tunora::testing::writeBytes(dir.file("song.mid"), chordsMidi());
  std::map<std::string, double> level;
  for (const char* name : {"song.wav", "song.mid"}) {
    const std::string out = dir.file(std::string(name) + ".raw");
    ScopedSink sink(
        "audioconvert ! audioresample ! "
        "audio/x-raw,format=S16LE,channels=1,rate=22050 ! filesink location=" +
        out);
    GstMediaWindow window;
    ASSERT_TRUE(playToEnd(window, dir.file(name))) << name;
    window.close();
    level[name] = levelOf(out);
  }
  // Without the synthesiser's gain the MIDI song is over 20 dB quieter.
  EXPECT_NEAR(level["song.mid"], level["song.wav"], 6.0)
      << "MIDI " << level["song.mid"] << " dB, WAV " << level["song.wav"] << " dB";
}

}  // namespace
}  // namespace tunora::gst

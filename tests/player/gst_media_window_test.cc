// The GStreamer media window against real files of every supported type (label "gstreamer"):
// the length is reported, the position moves, the end is reached, play-from lands near its
// target, a start and an end point can be kept, and a missing or broken file fails at once.
// Sound goes to "fakesink sync=true" (TUNORA_AUDIO_SINK) unless the environment names a sink.
// Also: MIDI comes out near the loudness of a WAV song, and the player plays MP3s that learn their
// length while they play.
//
// These tests play real media, so they wait in real time: every wait is a bounded loop of
// short polls.
#include "player/gst/gst_media_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <thread>

#include "player/demo_songs.h"
#include "tests/player/media_fixtures.h"
#include "tests/player/player_fixture.h"

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
    // The open's own time-out bounds it; a hang is the test's time-out.
    EXPECT_FALSE(window.open(dir.file(name)).ok()) << name;
    EXPECT_FALSE(window.isOpen());
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

// MP3s without a Xing or Info header open without a length: each must still play to its end, get
// its length while it plays, and be rated as played to its end, rather than be left after a
// second.
// A stereo sine of `tenths` tenths of a second, LAME-encoded without the header that gives the
// length.
bool writeHeaderlessMp3(const std::string& path, int tenths) {
  const std::string command =
      "timeout 20 gst-launch-1.0 -q audiotestsrc num-buffers=" + std::to_string(tenths) +
      " samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc ! "
      "filesink location=" +
      path + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// The player over GStreamer: the player fixture's program with the real back end. Its steps run
// in real time (each sleep, cut to 20 ms, is also added to the fake clock).
class GstPlayerTest : public tunora::testing::PlayerTest {
 protected:
  ui::MediaWindow& mediaWindow() override { return gst_; }
  GstMediaWindow gst_;
};

TEST_F(GstPlayerTest, Mp3sWithoutALengthHeaderPlayToTheirEndOverGstreamer) {
  std::vector<std::string> files;
  for (int i = 1; i <= 3; ++i) {
    files.push_back(dir_.file("nx" + std::to_string(i) + ".mp3"));
    ASSERT_TRUE(writeHeaderlessMp3(files.back(), 20));
    setPath(i, files.back());
  }
  listSongs(files);
  request(player::kRequestPlay);

  // Steps until `done`, for at most 30 s (generous, for a loaded machine).
  auto stepUntil = [&](const std::function<bool()>& done) {
    const auto give_up = Clock::now() + std::chrono::seconds(30);
    while (!done() && Clock::now() < give_up) {
      const auto sleep = std::min(player_->step(), std::chrono::milliseconds(20));
      env_.advance(sleep);
      std::this_thread::sleep_for(sleep);
    }
    return done();
  };
  ASSERT_TRUE(stepUntil([&] { return player_->state().playPath() == files[0]; }));
  const auto started = Clock::now();
  int64_t learned = 0;
  ASSERT_TRUE(stepUntil([&] {
    learned = std::max(learned, player_->state().length.load());
    return player_->state().playPath() == files[1];
  }));
  const auto played = Clock::now() - started;
  EXPECT_GE(played, std::chrono::milliseconds(1800));
  EXPECT_NEAR(learned, 2000, 200);
  const auto updates = takeUpdates();
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].slot, 1);
  EXPECT_EQ(updates[0].new_value, 80u);  // played to its end
  gst_.close();
}

}  // namespace
}  // namespace tunora::gst

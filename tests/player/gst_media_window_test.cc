// The GStreamer media window against real files of every supported type (label "gstreamer"):
// the length is reported, the position moves, the end is reached, play-from lands near its
// target, a start and an end point can be kept, and a missing or broken file fails at once.
// Sound goes to "fakesink sync=true" (TUNORA_AUDIO_SINK) unless the environment names a sink.
//
// These tests play real media, so they wait in real time: every wait is a bounded loop of
// short polls.
#include "player/gst/gst_media_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "tests/player/media_fixtures.h"

namespace tunora::gst {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kPlayBound{6};

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
    setenv(kAudioSinkVariable, "fakesink sync=true", 0);
    setenv(kVideoSinkVariable, "fakesink sync=true", 0);
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

TEST_P(GstMediaWindowTest, ReportsTheLengthMovesOnAndReachesTheEnd) {
  const std::string file = fixture();
  ASSERT_FALSE(file.empty()) << "no fixture could be made for " << GetParam();
  ASSERT_TRUE(window_.open(file).ok()) << file;
  EXPECT_NEAR(window_.endPosition(), tunora::testing::kFixtureMillis, 150);
  EXPECT_EQ(window_.position(), 0);
  window_.play();
  ASSERT_TRUE(pollUntil(window_, [&] { return window_.position() >= 200; }));
  EXPECT_FALSE(window_.ended());
  ASSERT_TRUE(pollUntil(window_, [&] { return window_.ended(); }));
  EXPECT_GE(window_.position(), window_.endPosition());
  window_.close();
  EXPECT_FALSE(window_.isOpen());
  EXPECT_EQ(window_.position(), 0);
}

TEST_P(GstMediaWindowTest, PlaysFromAStartPointAndPassesAnEndPointBeforeTheFileEnds) {
  const std::string file = fixture();
  ASSERT_FALSE(file.empty()) << "no fixture could be made for " << GetParam();
  ASSERT_TRUE(window_.open(file).ok()) << file;
  window_.playFrom(400);
  EXPECT_NEAR(window_.position(), 400, 100);
  // The end point 700 is met while the file still plays.
  ASSERT_TRUE(pollUntil(window_, [&] { return window_.position() >= 700; }));
  EXPECT_FALSE(window_.ended());
  // A seek while playing lands near its target too.
  window_.playFrom(250);
  EXPECT_NEAR(window_.position(), 250, 100);
}

INSTANTIATE_TEST_SUITE_P(EveryType, GstMediaWindowTest,
                         ::testing::Values("mp3", "wav", "mid", "wma", "asf", "avi", "mpg",
                                           "wmv"));

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
    EXPECT_LT(Clock::now() - started, kOpenTimeout + std::chrono::seconds(1)) << name;
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(window.endPosition(), 0);
  }
}

}  // namespace
}  // namespace tunora::gst

// The player over GStreamer with MP3s that carry no Xing or Info header (label "gstreamer"):
// such a file opens without a length, and each song must still play to its end, get its length
// while it plays, and be rated as played to its end, rather than be left after a second.
//
// Real media: the player's steps run in real time (each sleep, cut to 20 ms, is also added to
// the fake clock), and every wait is bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "player/gst/gst_media_window.h"
#include "tests/player/player_fixture.h"

namespace tunora::player {
namespace {

using Clock = std::chrono::steady_clock;
using tunora::testing::PlayerTest;

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

// The player over GStreamer: the fixture's program with the real back end.
class GstPlayerTest : public PlayerTest {
 protected:
  ui::MediaWindow& mediaWindow() override { return gst_; }
  bool sink_set_ = setenv(gst::kAudioSinkVariable, "fakesink sync=true", 0) == 0;
  gst::GstMediaWindow gst_;
};

TEST_F(GstPlayerTest, Mp3sWithoutALengthHeaderPlayToTheirEndOverGstreamer) {
  std::vector<std::string> files;
  for (int i = 1; i <= 3; ++i) {
    files.push_back(dir_.file("nx" + std::to_string(i) + ".mp3"));
    ASSERT_TRUE(writeHeaderlessMp3(files.back(), 20));
    setPath(i, files.back());
  }
  listSongs(files);
  request(kRequestPlay);

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
}  // namespace tunora::player

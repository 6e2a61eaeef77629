// Tiny media files of every supported type, made at test time: WAV by the demo-song writer,
// MIDI from bytes written out here, the others by gst-launch-1.0 with the encoders of the
// GStreamer plugin packages. Each is about one second long.
#pragma once

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "player/demo_songs.h"
#include "tests/support/temp_dir.h"

namespace tunora::testing {

inline constexpr int64_t kFixtureMillis = 1000;

// A format-0 MIDI file: one track, 96 ticks a quarter at the default 120 beats a minute, middle
// C held for 192 ticks (one second), then the end of the track.
inline std::vector<uint8_t> oneSecondMidi() {
  return {'M',  'T',  'h',  'd',  0,    0, 0, 6, 0,  0,    0,    1,    0,
          96,   'M',  'T',  'r',  'k',  0, 0, 0, 13, 0x00, 0x90, 0x3C, 0x64,  // note on
          0x81, 0x40, 0x80, 0x3C, 0x40,  // 192 ticks later, note off
          0x00, 0xFF, 0x2F, 0x00};       // end of track
}

// Makes the fixtures in `dir`; returns extension -> path for those that could be made.
inline std::map<std::string, std::string> makeMediaFixtures(const std::string& dir) {
  std::map<std::string, std::string> made;
  auto path = [&](const std::string& ext) { return dir + "/one." + ext; };
  if (player::writeToneWav(path("wav"), 1000, 1).ok()) made["wav"] = path("wav");
  writeBytes(path("mid"), oneSecondMidi());
  made["mid"] = path("mid");
  const std::string audio =
      "audiotestsrc num-buffers=10 samplesperbuffer=4410 ! "
      "audio/x-raw,rate=44100,channels=2 ! audioconvert";
  const std::string video =
      "videotestsrc num-buffers=10 ! video/x-raw,width=32,height=24,framerate=10/1 ! "
      "videoconvert";
  const std::map<std::string, std::string> pipelines = {
      {"mp3", audio + " ! lamemp3enc ! xingmux ! filesink location=" + path("mp3")},
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

}  // namespace tunora::testing

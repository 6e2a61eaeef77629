// The media window over GStreamer's playbin. Every call runs on the caller's thread (the
// player's); bus messages are popped there too, in open() while the file prerolls and in
// position() while it plays, so no GLib main loop is needed. Video frames go through an appsink
// to a VideoFrameConsumer (on GStreamer's streaming thread); without one, video plays its sound
// and its pictures go to TUNORA_VIDEO_SINK or nowhere. MIDI files play through the fluidsynth
// decoder with the system's soundfont, at a gain that puts them near the loudness of other
// songs.
//
// prepare() builds the next file's pipeline and lets it preroll in the background (GStreamer's
// own threads), so the open() that follows only swaps it in. When the audio output fails to
// open, sound goes to a clock-paced fakesink and outputProblem() says "No usable audio output".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/media_window.h"
#include "platform/video_frames.h"

typedef struct _GstElement GstElement;

namespace tunora::gst {

// The environment variables that name the sinks (see gst_sinks.h).
inline constexpr char kAudioSinkVariable[] = "TUNORA_AUDIO_SINK";
inline constexpr char kVideoSinkVariable[] = "TUNORA_VIDEO_SINK";

// How long open() waits for a file to be ready before it gives up, and how long a seek may take.
inline constexpr std::chrono::milliseconds kOpenTimeout{5000};
inline constexpr std::chrono::milliseconds kSeekTimeout{2000};

// What outputProblem() says when no audio output opens or the one that opened broke off.
inline constexpr char kNoAudioOutput[] = "No usable audio output";

// The fluidsynth decoder's master gain ("synth-gain", its default 0.2 plays MIDI about 17 dB
// below the other types); measured with bench/gap_and_level.sh.
inline constexpr double kMidiSynthGain = 2.5;

class GstMediaWindow final : public ui::MediaWindow {
 public:
  // `frames` (may be null) must outlive the window. Tests on a slow build may wait longer for
  // an open than the program does.
  explicit GstMediaWindow(ui::VideoFrameConsumer* frames = nullptr,
                          std::chrono::milliseconds open_timeout = kOpenTimeout);
  ~GstMediaWindow() override;
  GstMediaWindow(const GstMediaWindow&) = delete;
  GstMediaWindow& operator=(const GstMediaWindow&) = delete;

  Status open(const std::string& path) override;
  bool isOpen() const override { return playbin_ != nullptr; }
  void play() override;
  void playFrom(int64_t millis) override;
  void playFullScreen() override;
  int64_t position() override;
  // 0 until GStreamer knows the length: an MP3 without a header that gives it has none when it
  // opens, and gets one (an estimate from its bit rate) while it plays.
  int64_t endPosition() override;
  // Set once the open file played to its end (or broke off with an error while playing).
  bool ended() override;
  void prepare(const std::string& path) override;
  std::string outputProblem() override { return isOpen() ? output_problem_ : std::string(); }
  void show() override;
  void hide() override;
  void moveAndSize(const ui::VideoArea& area) override;
  void setVolume(double level) override;
  void close() override;

 private:
  // A built playbin with the audio sink it was given and what that sink lacks.
  struct Pipeline {
    GstElement* playbin = nullptr;
    GstElement* audio_sink = nullptr;  // owned by the playbin
    std::string output_problem;
    std::string path;
  };
  // With `silent`, the sound goes to a clock-paced fakesink.
  Status buildPipeline(const std::string& path, bool silent, Pipeline& out);
  static void dropPipeline(Pipeline& pipeline);
  Status openOnce(const std::string& path, bool silent);
  Status waitForPreroll();
  // Pops the bus's messages, waiting up to `wait` for the first; notes the end and errors.
  void drainBus(std::chrono::milliseconds wait);
  void seekTo(int64_t millis);
  // Asks the pipeline for its duration; keeps length_ when it has none.
  void queryLength();

  ui::VideoFrameConsumer* frames_;
  std::chrono::milliseconds open_timeout_;
  GstElement* playbin_ = nullptr;
  GstElement* audio_sink_ = nullptr;
  std::string output_problem_;
  // The audio sink broke off while the file prerolled.
  bool sink_failed_ = false;
  Pipeline prepared_;
  double volume_ = 1.0;
  int64_t length_ = 0;
  int64_t last_position_ = 0;
  bool ended_ = false;
  bool played_ = false;  // play() or playFrom() since the file opened
  bool async_done_ = false;
  std::string error_;
};

}  // namespace tunora::gst

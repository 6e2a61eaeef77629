// The media window over GStreamer's playbin. Every call runs on the caller's thread (the
// player's); bus messages are popped there too, in open() while the file prerolls and in
// position() while it plays, so no GLib main loop is needed. Video frames go through an appsink
// to a VideoFrameConsumer (on GStreamer's streaming thread); without one, video plays its sound
// and its pictures go to TUNORA_VIDEO_SINK or nowhere. MIDI files play through the fluidsynth
// decoder with the system's soundfont.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "ui/platform/media_window.h"
#include "ui/platform/video_frames.h"

typedef struct _GstElement GstElement;

namespace tunora::gst {

// The environment variables that name the sinks (see gst_sinks.h).
inline constexpr char kAudioSinkVariable[] = "TUNORA_AUDIO_SINK";
inline constexpr char kVideoSinkVariable[] = "TUNORA_VIDEO_SINK";

// How long open() waits for a file to be ready before it gives up, and how long a seek may take.
inline constexpr std::chrono::milliseconds kOpenTimeout{5000};
inline constexpr std::chrono::milliseconds kSeekTimeout{2000};

class GstMediaWindow final : public ui::MediaWindow {
 public:
  // `frames` (may be null) must outlive the window.
  explicit GstMediaWindow(ui::VideoFrameConsumer* frames = nullptr);
  ~GstMediaWindow() override;
  GstMediaWindow(const GstMediaWindow&) = delete;
  GstMediaWindow& operator=(const GstMediaWindow&) = delete;

  Status open(const std::string& path) override;
  bool isOpen() const override { return playbin_ != nullptr; }
  void play() override;
  void playFrom(int64_t millis) override;
  void playFullScreen() override;
  int64_t position() override;
  int64_t endPosition() override { return isOpen() ? length_ : 0; }
  void show() override;
  void hide() override;
  void moveAndSize(const ui::VideoArea& area) override;
  void close() override;

  // Set once the open file played to its end (or broke off with an error while playing).
  bool ended() const { return ended_; }

 private:
  Status buildPipeline(const std::string& path);
  Status waitForPreroll();
  // Pops the bus's messages, waiting up to `wait` for the first; notes the end and errors.
  void drainBus(std::chrono::milliseconds wait);
  void seekTo(int64_t millis);

  ui::VideoFrameConsumer* frames_;
  GstElement* playbin_ = nullptr;
  int64_t length_ = 0;
  int64_t last_position_ = 0;
  bool ended_ = false;
  bool async_done_ = false;
  std::string error_;
};

}  // namespace tunora::gst

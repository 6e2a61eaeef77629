// playbin as the media window.
#include "player/gst/gst_media_window.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <filesystem>

#include "player/gst/gst_sinks.h"

namespace tunora::gst {
namespace {

constexpr int64_t kNanosPerMilli = 1'000'000;

GstFlowReturn onNewSample(GstAppSink* sink, gpointer data) {
  auto* frames = static_cast<ui::VideoFrameConsumer*>(data);
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (sample == nullptr) return GST_FLOW_OK;
  GstCaps* caps = gst_sample_get_caps(sample);
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstStructure* structure = caps != nullptr ? gst_caps_get_structure(caps, 0) : nullptr;
  gint width = 0;
  gint height = 0;
  GstMapInfo map;
  if (structure != nullptr && buffer != nullptr &&
      gst_structure_get_int(structure, "width", &width) &&
      gst_structure_get_int(structure, "height", &height) &&
      gst_buffer_map(buffer, &map, GST_MAP_READ)) {
    const int32_t stride = width * 4;
    if (width > 0 && height > 0 && map.size >= static_cast<gsize>(stride) * height) {
      frames->showFrame({width, height, stride, {map.data, map.size}});
    }
    gst_buffer_unmap(buffer, &map);
  }
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

GstElement* frameSink(ui::VideoFrameConsumer* frames) {
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (sink == nullptr) return nullptr;
  GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
  g_object_set(sink, "caps", caps, "sync", TRUE, "max-buffers", 2, "drop", TRUE, nullptr);
  gst_caps_unref(caps);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = onNewSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, frames, nullptr);
  return sink;
}

// Sets the MIDI decoder's gain as playbin creates it (decodebin's children included).
void onElementSetup(GstElement*, GstElement* element, gpointer) {
  GstElementFactory* factory = gst_element_get_factory(element);
  if (factory != nullptr &&
      g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fluiddec") == 0) {
    g_object_set(element, "synth-gain", kMidiSynthGain, nullptr);
  }
}

}  // namespace

GstMediaWindow::GstMediaWindow(ui::VideoFrameConsumer* frames,
                               std::chrono::milliseconds open_timeout)
    : frames_(frames), open_timeout_(open_timeout) {}

GstMediaWindow::~GstMediaWindow() {
  close();
  dropPipeline(prepared_);
}

Status GstMediaWindow::buildPipeline(const std::string& path, bool silent, Pipeline& out) {
  out = Pipeline{};
  out.path = path;
  if (!ensureGstreamer(error_)) return Status::IOError(error_);
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  if (playbin == nullptr) return Status::IOError("GStreamer has no playbin");
  gst_object_ref_sink(playbin);
  out.playbin = playbin;
  g_signal_connect(playbin, "element-setup", G_CALLBACK(onElementSetup), nullptr);
  GError* gerror = nullptr;
  gchar* uri = gst_filename_to_uri(path.c_str(), &gerror);
  if (uri == nullptr) {
    std::string why = gerror != nullptr ? gerror->message : "bad file name";
    if (gerror != nullptr) g_error_free(gerror);
    return Status::InvalidArgument(path + ": " + why);
  }
  g_object_set(playbin, "uri", uri, "volume", volume_, nullptr);
  g_free(uri);
  std::string sink_error;
  GstElement* audio = silent ? nullptr : sinkFromVariable(kAudioSinkVariable, sink_error);
  if (audio == nullptr && !sink_error.empty()) return Status::InvalidArgument(sink_error);
  bool own_reference = false;
  if (audio == nullptr && !silent) {
    audio = openableAudioSink();
    own_reference = audio != nullptr;
  }
  if (audio == nullptr && sink_error.empty()) {
    out.output_problem = kNoAudioOutput;
    audio = silentAudioSink();
  }
  if (audio != nullptr) {
    g_object_set(playbin, "audio-sink", audio, nullptr);
    out.audio_sink = audio;
    if (own_reference) gst_object_unref(audio);  // playbin holds it now
  }
  GstElement* video =
      frames_ != nullptr ? frameSink(frames_) : sinkFromVariable(kVideoSinkVariable, sink_error);
  if (video == nullptr && !sink_error.empty()) return Status::InvalidArgument(sink_error);
  if (video == nullptr) video = gst_element_factory_make("fakesink", nullptr);
  if (video != nullptr) g_object_set(playbin, "video-sink", video, nullptr);
  return Status::Ok();
}

void GstMediaWindow::dropPipeline(Pipeline& pipeline) {
  if (pipeline.playbin != nullptr) {
    gst_element_set_state(pipeline.playbin, GST_STATE_NULL);
    gst_object_unref(pipeline.playbin);
  }
  pipeline = Pipeline{};
}

void GstMediaWindow::prepare(const std::string& path) {
  if (prepared_.playbin != nullptr && prepared_.path == path) return;
  dropPipeline(prepared_);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return;
  const std::string keep_error = error_;
  if (!buildPipeline(path, false, prepared_).ok()) {
    dropPipeline(prepared_);
    error_ = keep_error;
    return;
  }
  // READY: the elements exist and the output is open. Prerolling here too would start the
  // output's own clock, and the song would later wait as long as it waited prepared.
  if (gst_element_set_state(prepared_.playbin, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
    dropPipeline(prepared_);
  }
  error_ = keep_error;
}

Status GstMediaWindow::waitForPreroll() {
  sink_failed_ = false;
  const GstStateChangeReturn change = gst_element_set_state(playbin_, GST_STATE_PAUSED);
  if (change == GST_STATE_CHANGE_FAILURE) {
    drainBus(std::chrono::milliseconds(0));
    return Status::Corruption(error_.empty() ? "cannot be played" : error_);
  }
  // A prepared file may have prerolled already; its messages wait on the bus.
  async_done_ = change != GST_STATE_CHANGE_ASYNC;
  drainBus(std::chrono::milliseconds(0));
  const auto give_up = std::chrono::steady_clock::now() + open_timeout_;
  while (!async_done_ && error_.empty() && !ended_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        give_up - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Status::IOError("took too long to open");
    drainBus(left);
  }
  if (!error_.empty()) return Status::Corruption(error_);
  return Status::Ok();
}

Status GstMediaWindow::openOnce(const std::string& path, bool silent) {
  Pipeline pipeline;
  Status s = Status::Ok();
  if (!silent && prepared_.playbin != nullptr && prepared_.path == path) {
    pipeline = prepared_;
    prepared_ = Pipeline{};
  } else {
    dropPipeline(prepared_);
    s = buildPipeline(path, silent, pipeline);
  }
  playbin_ = pipeline.playbin;
  audio_sink_ = pipeline.audio_sink;
  output_problem_ = pipeline.output_problem;
  if (!s.ok()) return s;
  return waitForPreroll();
}

Status GstMediaWindow::open(const std::string& path) {
  close();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    dropPipeline(prepared_);
    return Status::NotFound(path + ": no such file");
  }
  Status s = openOnce(path, false);
  if (!s.ok() && sink_failed_) {
    // The output opened but broke off: the song plays on, into nothing, and says so.
    close();
    s = openOnce(path, true);
    output_problem_ = kNoAudioOutput;
  }
  if (s.ok()) {
    queryLength();
    ended_ = false;
    return s;
  }
  close();
  return Status::Corruption(path + ": " + s.message());
}

void GstMediaWindow::queryLength() {
  gint64 duration = 0;
  if (playbin_ != nullptr && gst_element_query_duration(playbin_, GST_FORMAT_TIME, &duration) &&
      duration > 0) {
    length_ = duration / kNanosPerMilli;
  }
}

int64_t GstMediaWindow::endPosition() {
  if (playbin_ == nullptr) return 0;
  drainBus(std::chrono::milliseconds(0));
  if (length_ == 0) queryLength();
  return length_;
}

void GstMediaWindow::drainBus(std::chrono::milliseconds wait) {
  if (playbin_ == nullptr) return;
  GstBus* bus = gst_element_get_bus(playbin_);
  GstClockTime timeout = static_cast<GstClockTime>(wait.count()) * GST_MSECOND;
  while (GstMessage* message = gst_bus_timed_pop(bus, timeout)) {
    timeout = 0;
    switch (GST_MESSAGE_TYPE(message)) {
      case GST_MESSAGE_EOS:
        ended_ = true;
        break;
      case GST_MESSAGE_ERROR: {
        GstObject* from = GST_MESSAGE_SRC(message);
        if (audio_sink_ != nullptr && from != nullptr &&
            (from == GST_OBJECT(audio_sink_) ||
             gst_object_has_as_ancestor(from, GST_OBJECT(audio_sink_)))) {
          sink_failed_ = true;
        }
        GError* gerror = nullptr;
        gst_message_parse_error(message, &gerror, nullptr);
        error_ = gerror != nullptr ? gerror->message : "playback error";
        if (gerror != nullptr) g_error_free(gerror);
        ended_ = true;
        break;
      }
      case GST_MESSAGE_ASYNC_DONE:
        async_done_ = true;
        break;
      case GST_MESSAGE_DURATION_CHANGED:
        // The length was unknown or an estimate: asked again (the message carries no figure).
        queryLength();
        break;
      default:
        break;
    }
    gst_message_unref(message);
  }
  gst_object_unref(bus);
}

void GstMediaWindow::seekTo(int64_t millis) {
  async_done_ = false;
  if (!gst_element_seek_simple(
          playbin_, GST_FORMAT_TIME,
          static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
          millis * kNanosPerMilli)) {
    return;
  }
  // A flushing seek ends with ASYNC_DONE; waiting for it makes the next position exact.
  const auto give_up = std::chrono::steady_clock::now() + kSeekTimeout;
  while (!async_done_ && error_.empty() && std::chrono::steady_clock::now() < give_up) {
    drainBus(std::chrono::milliseconds(50));
  }
}

void GstMediaWindow::play() { playFrom(0); }

void GstMediaWindow::playFrom(int64_t millis) {
  if (playbin_ == nullptr) return;
  ended_ = false;
  last_position_ = millis;
  // A file just opened stands at its beginning: starting it there needs no seek, whose flush
  // would make the audio output start over.
  if (millis != 0 || played_) {
    gst_element_set_state(playbin_, GST_STATE_PAUSED);
    seekTo(millis);
  }
  played_ = true;
  gst_element_set_state(playbin_, GST_STATE_PLAYING);
}

void GstMediaWindow::playFullScreen() {
  if (frames_ != nullptr) frames_->setFullScreen(true);
  play();
}

bool GstMediaWindow::ended() {
  if (playbin_ == nullptr) return false;
  drainBus(std::chrono::milliseconds(0));
  return ended_;
}

int64_t GstMediaWindow::position() {
  if (playbin_ == nullptr) return 0;
  drainBus(std::chrono::milliseconds(0));
  if (ended_) return std::max(length_, last_position_);
  gint64 now = 0;
  if (gst_element_query_position(playbin_, GST_FORMAT_TIME, &now) && now >= 0) {
    last_position_ = now / kNanosPerMilli;
  }
  return last_position_;
}

void GstMediaWindow::show() {
  if (frames_ != nullptr) frames_->setVisible(true);
}

void GstMediaWindow::hide() {
  if (frames_ != nullptr) frames_->setVisible(false);
}

void GstMediaWindow::moveAndSize(const ui::VideoArea& area) {
  if (frames_ != nullptr) frames_->setArea(area);
}

void GstMediaWindow::setVolume(double level) {
  volume_ = std::clamp(level, 0.0, 1.0);
  if (playbin_ != nullptr) g_object_set(playbin_, "volume", volume_, nullptr);
  if (prepared_.playbin != nullptr) g_object_set(prepared_.playbin, "volume", volume_, nullptr);
}

void GstMediaWindow::close() {
  if (playbin_ != nullptr) {
    gst_element_set_state(playbin_, GST_STATE_NULL);
    gst_object_unref(playbin_);
    playbin_ = nullptr;
    audio_sink_ = nullptr;
    if (frames_ != nullptr) {
      frames_->setFullScreen(false);
      frames_->setVisible(false);
    }
  }
  length_ = 0;
  last_position_ = 0;
  ended_ = false;
  played_ = false;
  async_done_ = false;
  sink_failed_ = false;
  output_problem_.clear();
  error_.clear();
}

}  // namespace tunora::gst

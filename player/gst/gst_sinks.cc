// Sinks named in the environment, and GStreamer's one-time initialisation.
#include "player/gst/gst_sinks.h"

#include <cstdlib>
#include <mutex>

namespace tunora::gst {

GstElement* sinkFromVariable(const char* variable, std::string& error) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') return nullptr;
  GError* gerror = nullptr;
  GstElement* sink = gst_parse_bin_from_description(value, TRUE, &gerror);
  if (sink == nullptr) {
    error = std::string(variable) + ": " + (gerror != nullptr ? gerror->message : "bad sink");
    if (gerror != nullptr) g_error_free(gerror);
    return nullptr;
  }
  if (gerror != nullptr) g_error_free(gerror);
  return sink;
}

GstElement* openableAudioSink() {
  for (const char* name : {"pulsesink", "pipewiresink", "alsasink"}) {
    GstElement* sink = gst_element_factory_make(name, nullptr);
    if (sink == nullptr) continue;
    gst_object_ref_sink(sink);
    const bool opens = gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
    gst_element_set_state(sink, GST_STATE_NULL);
    if (opens) return sink;
    gst_object_unref(sink);
  }
  return nullptr;
}

GstElement* silentAudioSink() {
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (sink != nullptr) g_object_set(sink, "sync", TRUE, nullptr);
  return sink;
}

bool ensureGstreamer(std::string& error) {
  // GStreamer keeps process-wide state of its own; initialising it is the one thing done once.
  static std::once_flag once;
  static bool ok = false;
  static std::string reason;
  std::call_once(once, [] {
    GError* gerror = nullptr;
    ok = gst_init_check(nullptr, nullptr, &gerror) != FALSE;
    if (!ok) reason = gerror != nullptr ? gerror->message : "GStreamer cannot start";
    if (gerror != nullptr) g_error_free(gerror);
  });
  if (!ok) error = reason;
  return ok;
}

}  // namespace tunora::gst

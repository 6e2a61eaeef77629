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

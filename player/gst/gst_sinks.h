// The sinks of the GStreamer media window, chosen without code changes: the environment
// variable TUNORA_AUDIO_SINK (and TUNORA_VIDEO_SINK) holds a GStreamer bin description, for
// example "fakesink sync=true" for tests or "pulsesink device=null" for a null sink. Unset, the
// audio goes to the first output that opens of PulseAudio, PipeWire and ALSA; with none, to a
// clock-paced fakesink, and the media window says "No usable audio output".
#pragma once

#include <gst/gst.h>

#include <string>

#include "player/gst/gst_media_window.h"

namespace tunora::gst {

// The sink element described by the variable's value, or nullptr when it is unset or empty, or
// does not describe an element (the error then says why).
GstElement* sinkFromVariable(const char* variable, std::string& error);

// The first audio output sink of PulseAudio, PipeWire and ALSA that opens (reaches READY; it is
// handed back in NULL); nullptr when none does. Sinks are tried one by one rather than through
// autoaudiosink, which also tries outputs that write their failures to the terminal.
GstElement* openableAudioSink();

// A sink that plays nothing but keeps the media's pace, for when no output opens.
GstElement* silentAudioSink();

// Makes sure GStreamer is initialised (once per process). False, with the reason, when it
// cannot be.
bool ensureGstreamer(std::string& error);

}  // namespace tunora::gst

// Media type recognition: which files the program handles, and whether each is audio or video.
// The decision looks only at the end of the file's name and at the user's file-type switches.
#pragma once

#include <cstdint>
#include <string_view>

namespace tunora::media {

// The file-type switches of the settings. Defaults: every per-type switch on, "All" off, m4a off.
struct MediaSwitches {
  bool play_all = false;  // "All": every supported type, whatever its own switch says
  bool play_mp3 = true;
  bool play_wav = true;
  bool play_midi = true;
  bool play_wma = true;
  bool play_asf = true;
  bool play_avi = true;
  bool play_mpeg = true;  // both "mpg" and "mpeg"
  bool play_wmv = true;
  bool play_m4a = false;  // kept with the settings; no type code is ever given to m4a
};

// Media type codes: 1..5 audio, 16..18 video, 0 = not handled now.
inline constexpr uint32_t kMediaNone = 0;
inline constexpr uint32_t kMediaMp3 = 1;
inline constexpr uint32_t kMediaWav = 2;
inline constexpr uint32_t kMediaMidi = 3;
inline constexpr uint32_t kMediaWma = 4;
inline constexpr uint32_t kMediaAsf = 5;
inline constexpr uint32_t kMediaAvi = 16;
inline constexpr uint32_t kMediaMpeg = 17;
inline constexpr uint32_t kMediaWmv = 18;

// The media type code of a file name or full path, from its last 3 characters (ASCII letters
// folded to lower case; no dot needed) or, failing those, its last 4 ("mpeg"). A known type whose
// own switch is off gives 0 unless "All" is on; "m4a" always gives 0.
uint32_t classifyMediaFile(std::string_view name, const MediaSwitches& switches);

// "Video" for codes of 15 or more, else "Audio": the class column of song list rows.
std::string_view mediaClassText(uint32_t code);

// The name of a type code as its file-type switch is captioned ("MP3", "WAV", "MIDI", "WMA",
// "ASF", "AVI", "MPEG", "WMV"); "none" for 0 and for codes that name no type.
std::string_view mediaTypeName(uint32_t code);

}  // namespace tunora::media

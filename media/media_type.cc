// The file-name classifier: suffix table and switch rules.
#include "media/media_type.h"

#include <array>

namespace tunora::media {
namespace {

struct SuffixRow {
  std::string_view suffix;
  uint32_t code;
  bool MediaSwitches::*own_switch;
};

// Compared in this order; the first match decides.
constexpr std::array<SuffixRow, 8> kThreeLetterRows = {{
    {"mp3", kMediaMp3, &MediaSwitches::play_mp3},
    {"avi", kMediaAvi, &MediaSwitches::play_avi},
    {"wav", kMediaWav, &MediaSwitches::play_wav},
    {"mid", kMediaMidi, &MediaSwitches::play_midi},
    {"wma", kMediaWma, &MediaSwitches::play_wma},
    {"asf", kMediaAsf, &MediaSwitches::play_asf},
    {"mpg", kMediaMpeg, &MediaSwitches::play_mpeg},
    {"wmv", kMediaWmv, &MediaSwitches::play_wmv},
}};

// True when the last suffix.size() characters of name, ASCII letters folded to lower case, equal
// suffix (which is lower case). A name shorter than the suffix never matches.
bool endsWithFolded(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  const std::string_view tail = name.substr(name.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

}  // namespace

uint32_t classifyMediaFile(std::string_view name, const MediaSwitches& switches) {
  for (const SuffixRow& row : kThreeLetterRows) {
    if (endsWithFolded(name, row.suffix)) {
      return (switches.*row.own_switch || switches.play_all) ? row.code : kMediaNone;
    }
  }
  if (endsWithFolded(name, "m4a")) return kMediaNone;
  if (endsWithFolded(name, "mpeg")) {
    return (switches.play_mpeg || switches.play_all) ? kMediaMpeg : kMediaNone;
  }
  return kMediaNone;
}

std::string_view mediaClassText(uint32_t code) { return code >= 15 ? "Video" : "Audio"; }

std::string_view mediaTypeName(uint32_t code) {
  switch (code) {
    case kMediaMp3:
      return "MP3";
    case kMediaWav:
      return "WAV";
    case kMediaMidi:
      return "MIDI";
    case kMediaWma:
      return "WMA";
    case kMediaAsf:
      return "ASF";
    case kMediaAvi:
      return "AVI";
    case kMediaMpeg:
      return "MPEG";
    case kMediaWmv:
      return "WMV";
    default:
      return "none";
  }
}

}  // namespace tunora::media

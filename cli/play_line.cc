// Composing and writing the status line of tunora-cli play.
#include "cli/play_line.h"

#include <cstdio>

namespace tunora::cli {

std::string clockText(int64_t millis) {
  const int64_t seconds = millis > 0 ? millis / 1000 : 0;
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

namespace {

const char* modeWord(PlayMode mode) {
  switch (mode) {
    case PlayMode::kPlaying:
      return "Playing";
    case PlayMode::kPaused:
      return "Paused";
    case PlayMode::kQuitting:
      return "Quitting";
    case PlayMode::kStopped:
      break;
  }
  return "Stopped";
}

std::string compose(const PlayLineInputs& in, bool with_clock) {
  std::string line = modeWord(in.mode);
  const bool has_song = !in.song.empty() && in.mode != PlayMode::kStopped;
  if (has_song && with_clock) {
    line.append(" ").append(clockText(in.position));
    if (in.length > 0) line.append(" / ").append(clockText(in.length));
  }
  if (has_song) line.append("  ").append(in.song);
  if (!in.problem.empty()) line.append("  [").append(in.problem).append("]");
  for (const std::string& text : in.texts) {
    if (!text.empty()) line += " | " + text;
  }
  if (!in.message.empty()) line += " - " + in.message;
  return line;
}

}  // namespace

std::string playLine(const PlayLineInputs& in) { return compose(in, true); }

std::string eventLine(const PlayLineInputs& in) { return compose(in, false); }

std::string keyRefusal(char key, const KeyContext& context) {
  if (static_cast<unsigned char>(key) <= ' ') return "";  // Enter, space, control characters
  switch (key) {
    case 'q':
      return "";
    case 'p':
    case 's':
    case 'r':
    case 'b':
      break;
    default:
      return "keys: p play/pause, s skip, r restart, b back, q quit";
  }
  if (context.songs_prepared < 2) {
    return "waiting for songs: the player acts once 2 songs are prepared";
  }
  if (key == 's' && !context.playing) {
    return context.paused ? "nothing to skip while paused (p plays on)"
                          : "nothing to skip: nothing plays (p plays)";
  }
  if (key == 'r' && !context.playing) {
    return context.paused ? "nothing to restart while paused (p plays on)"
                          : "nothing to restart: nothing plays (p plays)";
  }
  return "";
}

std::string StatusLineWriter::update(const PlayLineInputs& in) {
  const std::string line = terminal_ ? playLine(in) : eventLine(in);
  if (line == shown_) return "";
  shown_ = line;
  return terminal_ ? "\r\033[K" + line : line + "\n";
}

std::string StatusLineWriter::permanent(const std::string& text) {
  if (!terminal_) return text + "\n";
  shown_.clear();  // the status line is written again below the text
  return "\r\033[K" + text + "\n";
}

}  // namespace tunora::cli

// The status line of tunora-cli play: what plays (or is paused), how far it is, and the list and
// listener texts, as one line. On a terminal the line is rewritten in place whenever it changes;
// elsewhere a line is written per event (a new song, play or pause, a message), not for the
// clock. Also the reason a key does nothing at the moment.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tunora::cli {

enum class PlayMode { kStopped, kPlaying, kPaused, kQuitting };

struct PlayLineInputs {
  PlayMode mode = PlayMode::kStopped;
  int64_t position = 0;  // milliseconds; negative while switching songs
  int64_t length = 0;    // milliseconds; 0 when unknown
  std::string song;      // e.g. "Title - Artist - Album [*****.....]"; empty before the first
  std::string problem;   // the media window's output problem, e.g. "No usable audio output"
  std::string message;   // a note for the listener, e.g. why a key did nothing
  // The songs prepared, the library's entries, the listener (status texts 1 to 3).
  std::array<std::string, 3> texts;
};

// "m:ss" (or "h:mm:ss" from an hour on); negative times read "0:00".
std::string clockText(int64_t millis);

// "Playing 1:05 / 4:00  SONG  | TEXT | TEXT | TEXT", "Paused …", "Stopped", "Quitting"; the
// output problem in brackets after the song, and the message at the end after " - ".
std::string playLine(const PlayLineInputs& in);

// The same line without the clock: it changes only on an event.
std::string eventLine(const PlayLineInputs& in);

// What the keys of tunora-cli play can do now.
struct KeyContext {
  bool playing = false;
  bool paused = false;
  int32_t songs_prepared = 0;
};

// Why `key` does nothing now (or only later), for the status line; empty when it acts at once.
// Unknown keys get the list of keys; space, Enter and control characters are let pass quietly.
std::string keyRefusal(char key, const KeyContext& context);

// Writes the status line: on a terminal rewrites the current line ("\r", erase, the line, no
// newline) when the line changed; elsewhere writes the event line and a newline when the event
// line changed. Returns the bytes to write (empty for none).
class StatusLineWriter {
 public:
  explicit StatusLineWriter(bool terminal) : terminal_(terminal) {}
  std::string update(const PlayLineInputs& in);
  // Text that stays above the status line (a terminal's line is ended first).
  std::string permanent(const std::string& text);

 private:
  bool terminal_;
  std::string shown_;
};

}  // namespace tunora::cli

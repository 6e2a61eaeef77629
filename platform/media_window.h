// The media window: what the player needs of a media back end. One object serves every song: a
// file is opened into it (the window "exists" from a successful open until close), played,
// polled for its position and closed again. Positions are milliseconds from the start of the
// media, for audio and video alike; the song columns StartFrame and EndFrame hold the same.
//
// Driven by one thread only (the player's); implementations do their own event handling in the
// calls below (position() and ended() are called at least twice a second while a song plays,
// and again when the position says the end has come).
#pragma once

#include <cstdint>
#include <string>

#include "util/status.h"

namespace tunora::ui {

struct VideoArea {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

class MediaWindow {
 public:
  virtual ~MediaWindow() = default;

  // Opens the file at `path` ready to play, closing whatever was open. An error (and nothing
  // open) when the file is missing, unreadable or not media that can be played; never waits for
  // long on a bad file.
  virtual Status open(const std::string& path) = 0;
  // Whether a file is open.
  virtual bool isOpen() const = 0;
  // Starts playing from the beginning.
  virtual void play() = 0;
  // Starts playing from `millis`.
  virtual void playFrom(int64_t millis) = 0;
  // Starts playing from the beginning, the video filling the screen.
  virtual void playFullScreen() = 0;
  // The position now, in milliseconds; at the end of the media, the end position. 0 when nothing
  // is open.
  virtual int64_t position() = 0;
  // The length of the media in milliseconds; 0 when nothing is open or it is unknown.
  virtual int64_t endPosition() = 0;
  // The open media played to its end (or broke off while playing), as the back end saw it: this
  // may come before the position reaches endPosition(), whose figure can be an estimate. False
  // when nothing is open.
  virtual bool ended() = 0;
  // Gets the file at `path` ready ahead of its turn, so that a later open() of the same path
  // need not wait for it. Never waits itself; a file that cannot be played is found out by that
  // open(). Opening another path drops what was prepared.
  virtual void prepare(const std::string& path) = 0;
  // Why the sound of the open media reaches no one (e.g. "No usable audio output"); empty while
  // it goes to an audio output.
  virtual std::string outputProblem() = 0;
  // The video's place on the screen; harmless for audio.
  virtual void show() = 0;
  virtual void hide() = 0;
  virtual void moveAndSize(const VideoArea& area) = 0;
  // The sound's volume, 0 (silent) to 1 (full), for the open media and every later one.
  virtual void setVolume(double level) = 0;
  // Stops and closes the open file. Harmless when nothing is open.
  virtual void close() = 0;
};

}  // namespace tunora::ui

// What the desktop's media controls (MPRIS) ask of the player: the toolbar's commands, a seek,
// and the playing song's details. The program implements it over its window and player; tests
// use a fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tunora::ui {

enum class PlaybackStatus { kStopped, kPlaying, kPaused };

struct TrackInfo {
  int64_t id = 0;  // changes with every song started; 0 = no song
  std::string title;
  std::string artist;
  std::string album;
  std::string path;      // the media file
  std::string art_path;  // the cover picture shown, empty when none
  int64_t length_us = 0;
  std::optional<double> rating;  // the current user's rating, 0..1
  int32_t track_number = 0;      // from the file's tag; 0 when it has none
  std::string genre;             // from the file's tag; empty when unknown
};

class MediaPlayerControl {
 public:
  virtual ~MediaPlayerControl() = default;
  virtual void raise() = 0;
  virtual void quit() = 0;  // the program's own quit sequence
  virtual void playPause() = 0;
  virtual void play() = 0;
  virtual void pause() = 0;
  virtual void stop() = 0;
  virtual void next() = 0;
  virtual void previous() = 0;
  virtual void seekTo(int64_t position_us) = 0;  // within the playing song
  virtual PlaybackStatus status() const = 0;
  virtual TrackInfo track() const = 0;
  virtual int64_t positionUs() const = 0;
  // The player's volume, 0 (silent) to 1 (full).
  virtual double volume() const = 0;
  virtual void setVolume(double level) = 0;
};

}  // namespace tunora::ui

// The player's state that other threads read: the song playing (its path, details and media
// type), the next song's details loaded ahead, the length and positions, and the flags the
// display and the window set or read. The player thread writes most of it; the window, the
// supervisor and the next-song details loader read it or set their own parts.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "player/song_details.h"

namespace tunora::player {

// A song and a place in it (milliseconds).
struct SongPlace {
  std::string path;
  int64_t position_ms = 0;
};

// What the playing song's file tag says beyond the library's texts, read when the song starts.
struct SongTags {
  std::string path;          // the play path the tags belong to
  int32_t track_number = 0;  // 0: none
  std::string genre;         // UTF-8; empty: none
};

struct NextSong {
  std::string path;
  SongDetails details;
  bool valid = false;
};

class PlayerState {
 public:
  // The song's end point if it has one, else the media's end position; 0 when nothing opened.
  std::atomic<int64_t> length{0};
  // The position at which the song was paused; 0 when not paused.
  std::atomic<int64_t> resume_position{0};
  // The latest polled position; -1 while switching songs and after the player ended.
  std::atomic<int64_t> position{-1};
  // The target of a seek request (5), in milliseconds.
  std::atomic<int64_t> seek_target{0};
  // The media type code of the song playing (codes above 15 are video).
  std::atomic<uint32_t> media_type{0};
  // Set when a video song starts (the display leaves the video area alone).
  std::atomic<int32_t> video_shown{0};
  // Set by whoever wants the current slot played at once instead of the list top.
  std::atomic<int32_t> play_chosen{0};
  // The volume the player gives the media window, 0 (silent) to 1 (full); set by the desktop's
  // media controls, applied by the player thread.
  std::atomic<double> volume{1.0};

  std::string playPath() const { return read(play_path_); }
  void setPlayPath(std::string path) { write(play_path_, std::move(path)); }
  SongDetails current() const { return read(current_); }
  void setCurrent(SongDetails details) { write(current_, std::move(details)); }
  // The score the display shows for the current song (after a rating was stored).
  void setCurrentRating(uint32_t score) { write(current_.rating, score); }
  void setCurrentSlot(int32_t slot) { write(current_.slot, slot); }
  // Why the song's sound reaches no one (the media window's output problem); empty while it
  // goes to an audio output.
  std::string outputProblem() const { return read(output_problem_); }
  void setOutputProblem(std::string problem) { write(output_problem_, std::move(problem)); }
  // Where the list's top song starts when the player next takes it from the list: the place
  // left off at the last quit. Taken (and so dropped) by the first song the player starts from
  // the list, whichever it is.
  void setStartPlace(std::optional<SongPlace> place) { write(start_place_, std::move(place)); }
  std::optional<SongPlace> startPlace() const { return read(start_place_); }
  std::optional<SongPlace> takeStartPlace() {
    std::lock_guard lock(mu_);
    return std::exchange(start_place_, std::nullopt);
  }
  // The song playing or paused when the player stopped for the quit, and where; nullopt when
  // none was.
  void setLeftOff(SongPlace place) { write(left_off_, std::optional<SongPlace>(std::move(place))); }
  std::optional<SongPlace> leftOff() const { return read(left_off_); }
  SongTags tags() const { return read(tags_); }
  void setTags(SongTags tags) { write(tags_, std::move(tags)); }
  NextSong next() const { return read(next_); }
  void setNext(NextSong next) { write(next_, std::move(next)); }
  void invalidateNext() { write(next_.valid, false); }
  // When the next-song details are valid, moves them into the current song's and returns true.
  bool takeNextAsCurrent() {
    std::lock_guard lock(mu_);
    if (!next_.valid) return false;
    current_ = next_.details;
    next_.valid = false;
    return true;
  }

 private:
  // A copy of one field, or a new value for it, under the one lock of all the fields.
  template <typename T>
  T read(const T& field) const {
    std::lock_guard lock(mu_);
    return field;
  }
  template <typename T>
  void write(T& field, T value) {
    std::lock_guard lock(mu_);
    field = std::move(value);
  }

  mutable std::mutex mu_;
  std::string play_path_;
  SongDetails current_;
  NextSong next_;
  SongTags tags_;
  std::string output_problem_;
  std::optional<SongPlace> start_place_;
  std::optional<SongPlace> left_off_;
};

}  // namespace tunora::player

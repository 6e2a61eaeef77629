// WindowMediaControl: commands go through the window as the toolbar gives them.
#include "ui/qt/window_media_control.h"

#include <algorithm>
#include <array>

#include "settings/settings_fields.h"
#include "ui/command_numbers.h"
#include "ui/paint_list.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/main_window.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {

bool WindowMediaControl::playing() const { return lock_.words().playing.load() != 0; }

void WindowMediaControl::raise() { window_.restoreFromTray(); }
void WindowMediaControl::quit() { window_.requestClose(); }
void WindowMediaControl::playPause() { window_.runCommand(kCmdPlay, 0); }
void WindowMediaControl::play() {
  if (!playing()) window_.runCommand(kCmdPlay, 0);
}
void WindowMediaControl::pause() {
  if (playing()) window_.runCommand(kCmdPlay, 0);
}
void WindowMediaControl::stop() { pause(); }
void WindowMediaControl::next() { window_.runCommand(kCmdSkip, 0); }
void WindowMediaControl::previous() { window_.runCommand(kCmdPlayLast, 0); }

void WindowMediaControl::seekTo(int64_t position_us) {
  const int64_t length_ms = player_.length.load();
  if (length_ms <= 0) return;
  // The slider's seek request takes thousandths of the song.
  const int64_t permille = position_us / 1000 * 1000 / length_ms;
  window_.seekSlider(static_cast<int32_t>(std::clamp<int64_t>(permille, 0, 1000)));
}

PlaybackStatus WindowMediaControl::status() const {
  if (playing()) return PlaybackStatus::kPlaying;
  return player_.resume_position.load() > 0 ? PlaybackStatus::kPaused : PlaybackStatus::kStopped;
}

TrackInfo WindowMediaControl::track() const {
  TrackInfo info;
  const std::string path = player_.playPath();
  if (path.empty()) return info;
  if (path != last_path_) {
    last_path_ = path;
    ++track_id_;
  }
  const player::SongDetails song = player_.current();
  info.id = track_id_;
  info.title = fromBytes(song.title).toStdString();
  info.artist = fromBytes(song.artist).toStdString();
  info.album = fromBytes(song.album).toStdString();
  info.path = path;  // the file system's bytes
  if (cover_ != nullptr) info.art_path = cover_->artPath();
  info.length_us = player_.length.load() * 1000;
  std::array<int32_t, 10> values{};
  for (uint32_t k = 0; k < values.size(); ++k) values[k] = settings_.get(settings::kRatingValue, k);
  info.rating = starCount(song.rating, values) / 10.0;
  if (const player::SongTags tags = player_.tags(); tags.path == path) {
    info.track_number = tags.track_number;
    info.genre = tags.genre;
  }
  return info;
}

int64_t WindowMediaControl::positionUs() const {
  if (!playing()) return player_.resume_position.load() * 1000;
  const int64_t position = player_.position.load();
  return position < 0 ? 0 : position * 1000;
}

double WindowMediaControl::volume() const { return player_.volume.load(); }
// The player thread gives it to the media window at its next pass.
void WindowMediaControl::setVolume(double level) { player_.volume.store(level); }

}  // namespace tunora::ui::qt

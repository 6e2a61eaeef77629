// The desktop's media controls (MPRIS) over the main window: the toolbar's commands 1, 4 and 5,
// the slider's seek request, the close button's quit sequence, and the song the display shows.
// GUI thread only.
#pragma once

#include <string>

#include "engine/shared_lock.h"
#include "platform/media_player_control.h"
#include "player/player_state.h"
#include "settings/settings.h"

namespace tunora::ui::qt {

class CoverPicture;
class MainWindow;

class WindowMediaControl : public MediaPlayerControl {
 public:
  // `cover` (may be null) gives the track's picture: the file of the cover the window shows.
  WindowMediaControl(MainWindow& window, engine::SharedLock& lock, player::PlayerState& player,
                     const Settings& settings, const CoverPicture* cover = nullptr)
      : window_(window), lock_(lock), player_(player), settings_(settings), cover_(cover) {}

  void raise() override;
  void quit() override;
  void playPause() override;
  void play() override;
  void pause() override;
  void stop() override;  // pauses: the player has no stop of its own
  void next() override;
  void previous() override;
  void seekTo(int64_t position_us) override;
  PlaybackStatus status() const override;
  TrackInfo track() const override;
  int64_t positionUs() const override;
  double volume() const override;
  void setVolume(double level) override;

 private:
  bool playing() const;

  MainWindow& window_;
  engine::SharedLock& lock_;
  player::PlayerState& player_;
  const Settings& settings_;
  const CoverPicture* cover_;
  mutable std::string last_path_;
  mutable int64_t track_id_ = 0;
};

}  // namespace tunora::ui::qt

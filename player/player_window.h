// What the player asks of the main window: the position slider (0..1000), the first toolbar
// button's image, repaints of the display, the status bar, the on-top setting, and the size of
// the window's client area. Called on the player thread; implementations pass the work to the
// window's own thread.
#pragma once

#include <cstdint>

namespace tunora::player {

inline constexpr int32_t kSliderRange = 1000;
// The first toolbar button's images.
inline constexpr int32_t kPlayImage = 0;

class PlayerWindow {
 public:
  virtual ~PlayerWindow() = default;
  virtual int32_t sliderPosition() = 0;
  virtual void setSliderPosition(int32_t position) = 0;
  virtual void setPlayButtonImage(int32_t image) = 0;
  // A new song starts: the cover image is released, the quick-link lists and the cover lookup
  // are to be renewed.
  virtual void resetDisplayForNewSong() = 0;
  // The song-text part of the display (audio), or the whole window with the video (video).
  virtual void repaintSongText() = 0;
  virtual void repaintWithVideo() = 0;
  virtual void refreshStatus() = 0;
  // Re-applies the "On Top" setting to the main window.
  virtual void applyOnTop() = 0;
  virtual int32_t clientWidth() = 0;
  virtual int32_t clientHeight() = 0;
  // The main window is hidden in the tray.
  virtual bool inTray() = 0;
};

}  // namespace tunora::player

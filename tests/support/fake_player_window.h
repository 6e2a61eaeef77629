// The main window as the player sees it, for tests: records the slider, the button image and
// the repaints; thread-safe.
#pragma once

#include <atomic>
#include <cstdint>

#include "player/player_window.h"

namespace tunora::testing {

class FakePlayerWindow final : public player::PlayerWindow {
 public:
  int32_t sliderPosition() override { return slider.load(); }
  void setSliderPosition(int32_t position) override { slider.store(position); }
  void setPlayButtonImage(int32_t image) override { button_image.store(image); }
  void resetDisplayForNewSong() override { ++new_songs; }
  void repaintSongText() override { ++text_repaints; }
  void repaintWithVideo() override { ++video_repaints; }
  void refreshStatus() override { ++status_refreshes; }
  void applyOnTop() override {}
  int32_t clientWidth() override { return width.load(); }
  int32_t clientHeight() override { return height.load(); }
  bool inTray() override { return in_tray.load(); }

  std::atomic<int32_t> slider{0};
  std::atomic<int32_t> button_image{-1};
  std::atomic<int32_t> new_songs{0};
  std::atomic<int32_t> text_repaints{0};
  std::atomic<int32_t> video_repaints{0};
  std::atomic<int32_t> status_refreshes{0};
  std::atomic<int32_t> width{1000};
  std::atomic<int32_t> height{600};
  std::atomic<bool> in_tray{false};
};

}  // namespace tunora::testing

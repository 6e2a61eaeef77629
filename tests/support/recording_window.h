// The main window for tests, as the engine and the player see it: records every command posted
// to it, the slider, the button image and the repaints; any thread may call it.
#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/window_channel.h"
#include "player/player_window.h"

namespace tunora::testing {

class RecordingWindow : public engine::WindowChannel, public player::PlayerWindow {
 public:
  void postCommand(int32_t command, int32_t parameter) override {
    std::lock_guard lock(mu_);
    posted_.emplace_back(command, parameter);
  }
  // The commands in the order posted.
  std::vector<int32_t> commands() const {
    std::lock_guard lock(mu_);
    std::vector<int32_t> out;
    for (const auto& [command, parameter] : posted_) out.push_back(command);
    return out;
  }
  bool received(int32_t command) const {
    const std::vector<int32_t> all = commands();
    return std::find(all.begin(), all.end(), command) != all.end();
  }

  int32_t sliderPosition() override { return slider.load(); }
  void setSliderPosition(int32_t position) override { slider.store(position); }
  void setPlayButtonImage(int32_t image) override { button_image.store(image); }
  void resetDisplayForNewSong() override {}
  void repaintSongText() override { ++text_repaints; }
  void repaintWithVideo() override { ++video_repaints; }
  void refreshStatus() override {}
  void applyOnTop() override {}
  int32_t clientWidth() override { return width.load(); }
  int32_t clientHeight() override { return height.load(); }
  bool inTray() override { return false; }

  std::atomic<int32_t> slider{0}, button_image{-1}, text_repaints{0}, video_repaints{0},
      width{1000}, height{600};

 private:
  mutable std::mutex mu_;
  std::vector<std::pair<int32_t, int32_t>> posted_;
};

}  // namespace tunora::testing

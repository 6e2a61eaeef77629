// The player's window before the window exists: the player is made first over this forwarding
// interface, which the window's bridge then fills in (before any thread starts).
#pragma once

#include <cstdint>
#include <functional>

#include "player/player_window.h"

namespace tunora {

class ForwardingWindow final : public player::PlayerWindow {
 public:
  player::PlayerWindow* target = nullptr;
  // Called as the song's text is repainted (on the player's thread), before the window is.
  std::function<void()> on_song_text;

  int32_t sliderPosition() override { return target ? target->sliderPosition() : 0; }
  void setSliderPosition(int32_t p) override {
    if (target) target->setSliderPosition(p);
  }
  void setPlayButtonImage(int32_t i) override {
    if (target) target->setPlayButtonImage(i);
  }
  void resetDisplayForNewSong() override {
    if (target) target->resetDisplayForNewSong();
  }
  void repaintSongText() override {
    if (on_song_text) on_song_text();
    if (target) target->repaintSongText();
  }
  void repaintWithVideo() override {
    if (on_song_text) on_song_text();
    if (target) target->repaintWithVideo();
  }
  void refreshStatus() override {
    if (target) target->refreshStatus();
  }
  void applyOnTop() override {
    if (target) target->applyOnTop();
  }
  int32_t clientWidth() override { return target ? target->clientWidth() : 0; }
  int32_t clientHeight() override { return target ? target->clientHeight() : 0; }
  bool inTray() override { return target ? target->inTray() : false; }
};

}  // namespace tunora

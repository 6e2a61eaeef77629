// The window as the engine's threads see it: the player's PlayerWindow, the request executor's
// ExecutorWindow, Network mode's dialogs and the settings save's WindowStateSource. Each call
// from another thread is queued to the window's thread; the calls that need an answer (the
// focused row, a dialog, the file chooser) wait for it, and answer as a closed dialog would
// once the window is gone. The window thread never waits for these threads.
#pragma once

#include <QPointer>
#include <atomic>
#include <functional>

#include "engine/executor_work.h"
#include "network/network_texts.h"
#include "platform/message_dialog.h"
#include "player/player_window.h"
#include "settings/settings_save_sources.h"
#include "ui/window_state.h"

namespace tunora::ui::qt {

class CoverPicture;
class MainWindow;

class WindowBridge final : public player::PlayerWindow,
                           public engine::ExecutorWindow,
                           public WindowStateSource {
 public:
  WindowBridge(MainWindow* window, WindowState& state, MessageDialog& dialog, CoverPicture& cover);

  // After this the bridge answers without the window (GUI thread, before the window goes).
  void detach();

  // PlayerWindow (the player thread).
  int32_t sliderPosition() override { return slider_.load(); }
  void setSliderPosition(int32_t position) override;
  void setPlayButtonImage(int32_t image) override;
  void resetDisplayForNewSong() override;
  void repaintSongText() override;
  void repaintWithVideo() override;
  void refreshStatus() override;
  void applyOnTop() override;
  int32_t clientWidth() override { return state_.client_width.load(); }
  int32_t clientHeight() override { return state_.client_height.load(); }
  bool inTray() override { return state_.in_tray.load() != 0; }
  // Where refreshStatus goes (the status message's refresh); applyOnTop reads the setting.
  void setRefreshStatus(std::function<void()> refresh) { refresh_ = std::move(refresh); }
  void setOnTopSetting(std::function<bool()> on_top) { on_top_ = std::move(on_top); }

  // ExecutorWindow (the request executor's thread).
  int32_t focusedRow() override;
  std::optional<std::string> chooseFile(const std::string& proposed, int32_t filter,
                                        bool save) override;
  void repaint() override;
  void scrollToTop() override;

  // WindowStateSource (the thread that saves, the window's own at the quit).
  std::optional<std::array<int32_t, 11>> windowPlacement() override;
  std::array<int32_t, 5> columnWidths() override;

 private:
  // Runs `work` on the window's thread and waits for it; false (nothing run) when the window is
  // gone.
  bool runOnWindow(const std::function<void(MainWindow&)>& work);
  // Queues `work` on the window's thread without waiting.
  void post(std::function<void(MainWindow&)> work);

  QPointer<MainWindow> window_;
  std::atomic<bool> detached_{false};
  WindowState& state_;
  MessageDialog& dialog_;
  CoverPicture& cover_;
  std::atomic<int32_t> slider_{0};
  std::function<void()> refresh_;
  std::function<bool()> on_top_;
  // The last placement and widths read on the window's thread, for saves after it is gone.
  std::mutex mu_;
  std::optional<std::array<int32_t, 11>> placement_;
  std::array<int32_t, 5> widths_{};
};

}  // namespace tunora::ui::qt

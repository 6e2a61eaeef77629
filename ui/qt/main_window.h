// The main window: toolbar, painted display, position slider, play list and four-part status
// bar, placed by the layout of ui/layout.h in a client area whose top 30 pixels hold the
// toolbar. Commands, keys, clicks and the close button go to the window's logic in ui/ (the
// command table, the keyboard table, the display click rules, the quit sequence); the display
// draws exactly the paint list of ui/paint_list.h. Other threads reach the window only through
// channel() and the queued calls of WindowBridge. GUI thread only.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "engine/update_queue.h"
#include "engine/update_writer.h"
#include "engine/window_channel.h"
#include "platform/message_dialog.h"
#include "player/player_state.h"
#include "settings/settings.h"
#include "ui/command_dispatch.h"
#include "ui/geometry.h"
#include "ui/popup_input.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/dialog_parts.h"
#include "ui/status_text.h"
#include "ui/window_actions.h"
#include "ui/window_context.h"
#include "ui/window_state.h"

class QAction;
class QLabel;

class QSlider;
class QSystemTrayIcon;
class QTableView;
class QToolBar;

namespace tunora::ui::qt {

class CoverPicture;
class PlayListModel;
class VideoWidget;

inline constexpr char kWindowTitle[] = "Tunora";
inline constexpr char kVersionTitleText[] = "Tunora 1.9";
inline constexpr int kStatusBarHeight = 22;

struct MainWindowParts {
  engine::SharedLock& lock;
  Settings& settings;
  engine::PlayList& play_list;
  engine::StatusMessage& status;
  player::PlayerState& player;
  WindowContext& context;
  engine::UpdateWriter& writer;
  const engine::UpdateQueue& queue;
  WindowState& window_state;
  MessageDialog& dialog;
  CoverPicture& cover;
  std::vector<QIcon> toolbar_images;  // the 13 images of "ToolBar.bmp"
  QIcon program_icon;                 // also the rating star
  // Runs the listening-state switch on a thread of its own (it waits for the database lock).
  std::function<void(int32_t)> start_state_switch;
};

class MainWindow final : public QWidget, public WindowActions {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowParts parts);
  ~MainWindow() override;

  // The command channel for every thread: a queued call to runCommand.
  engine::WindowChannel& channel();
  // Runs a command of the command table now (GUI thread).
  void runCommand(int32_t command, int32_t parameter);
  // The close button's path (also the desktop's and a termination signal's).
  void requestClose();
  // Shows the status texts (a nullopt part keeps its text).
  void showStatus(const StatusTexts& texts);
  // The slider as the player moves it; ignored while the user drags it.
  void setSliderPosition(int32_t position);
  // Called once when the window is destroyed by command 2031 (the program then saves the
  // settings and ends the event loop).
  void setOnDestroy(std::function<void()> on_destroy) { on_destroy_ = std::move(on_destroy); }
  // The tray icon's tip: the playing song's title, else the version title.
  void refreshTrayTip();
  // Puts the saved placement on the window, fitted to the screen's free area, and asks to be
  // shown maximized (command 2005) when the `Maximized` setting says so; reads them back.
  void applySavedPlacement();
  std::array<int32_t, 11> placement() const;
  std::array<int32_t, 5> columnWidths() const;
  // Leaves the tray (left click on its icon).
  void restoreFromTray();
  // The slider's seek request at `permille` thousandths of the song, as if the user released
  // the slider there. False when nothing was asked (no song, a request pending).
  bool seekSlider(int32_t permille);
  bool destroyed() const { return destroyed_; }
  // Puts the video area where the layout has it (upper right), for a video that starts.
  void placeVideo();

  // ---- Popup menus, the Rate keypad and About (ui/popup_input.h) ----
  // Shows the popup menu for a click at client x (0 for the keyboard, the tray and the play
  // list) at the cursor; choosing an item posts its command to the window's channel.
  void showPopupMenu(int32_t click_x);
  // The popup menu showing now; nullptr when none.
  QMenu* popupMenu() const { return popup_; }
  // The library's live-record count (any thread's counter); About shows the songs it makes.
  void setLiveRecordCount(std::function<int32_t()> count) { live_records_ = std::move(count); }
  // What the About dialog shows now.
  AboutInfo aboutInfo() const;
  // Gives the dialogs what they use of the program; until then the dialogs do not open.
  void setDialogSources(const DialogSources& sources);
  // nullptr before setDialogSources.
  DialogHost* dialogs() const { return dialogs_.get(); }

  QToolBar* toolBar() const { return toolbar_; }
  QSlider* slider() const { return slider_; }
  QTableView* listView() const { return list_; }
  VideoWidget* videoWidget() const { return video_; }
  const std::array<QLabel*, kStatusParts>& statusParts() const { return status_labels_; }

  // WindowActions.
  bool dialogOpen(WindowDialog dialog) override;
  void openSearch(SearchMode mode, const std::string& artist) override;
  void openDatabaseDialog() override;
  void openOptionsDialog() override;
  void openSongDetails(int32_t record) override;
  void openAbout() override;
  std::optional<int32_t> showRateKeypad() override;
  void launchFiller() override;
  void setPlayButtonImage(int32_t image) override;
  void minimize() override;
  void showMaximized() override;
  void applyOnTop(bool on_top) override;
  void repaintAll() override;
  void destroyWindow() override;
  void startStateSwitch(int32_t state) override;
  int32_t focusedRow() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Channel;
  void buildToolBar();
  void buildList();
  void buildStatusBar();
  void layOut();
  // Places the window (client rectangle `wanted`, nullopt: the default size) inside the
  // screen's free area, its frame included.
  void fitOnScreen(const std::optional<Rect>& wanted);
  void sliderMoved();
  void updatePlayTooltip();
  bool keyPressed(int key);
  void goToTray();
  PopupSources popupSources() const;

  MainWindowParts p_;
  std::unique_ptr<Channel> channel_;
  std::unique_ptr<CommandDispatcher> dispatcher_;
  QToolBar* toolbar_ = nullptr;
  QAction* play_action_ = nullptr;
  QSlider* slider_ = nullptr;
  QTableView* list_ = nullptr;
  PlayListModel* model_ = nullptr;
  VideoWidget* video_ = nullptr;
  QWidget* status_bar_ = nullptr;
  std::array<QLabel*, kStatusParts> status_labels_{};
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* tray_menu_ = nullptr;
  std::function<void()> on_destroy_;
  bool destroyed_ = false;
  // Placed by applySavedPlacement and not yet fitted again with its frame once shown.
  bool refit_when_shown_ = false;
  QPointer<QMenu> popup_;
  std::function<int32_t()> live_records_;
  std::unique_ptr<DialogHost> dialogs_;
};

}  // namespace tunora::ui::qt

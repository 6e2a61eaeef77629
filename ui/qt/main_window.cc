// The main window.
#include "ui/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QShowEvent>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QToolBar>
#include <QWindowStateChangeEvent>

#include "library/song_table.h"
#include "ui/command_numbers.h"
#include "ui/display_click.h"
#include "ui/display_input.h"
#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui/popup_input.h"
#include "ui/program_file_names.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/fonts.h"
#include "ui/qt/paint.h"
#include "ui/qt/play_list_model.h"
#include "ui/qt/popup_menu_widget.h"
#include "ui/qt/rate_keypad_dialog.h"
#include "ui/qt/text.h"
#include "ui/qt/video_widget.h"
#include "ui/qt/window_look.h"
#include "ui/rate_keypad.h"
#include "ui/toolbar.h"
#include "ui/tray.h"
#include "ui/window_placement.h"

namespace tunora::ui::qt {

// The command channel: every post becomes a queued call on the window's thread.
class MainWindow::Channel final : public engine::WindowChannel {
 public:
  explicit Channel(MainWindow* window) : window_(window) {}
  void postCommand(int32_t command, int32_t parameter) override {
    MainWindow* window = window_;
    QMetaObject::invokeMethod(
        window, [window, command, parameter] { window->runCommand(command, parameter); },
        Qt::QueuedConnection);
  }

 private:
  MainWindow* window_;
};

namespace {

constexpr int kDefaultColumnWidth = 150;
constexpr int kMinimumColumnWidth = 20;
constexpr int kMaximumColumnWidth = 4000;

// Key codes of the keyboard table from Qt's keys: letters upper-case ASCII, digits ASCII, F1 and
// the media Play/Pause key; 0 for keys the table does not know.
int tableKey(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return 0;
  const int key = event.key();
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
    return key;  // Qt's codes for these are their ASCII upper-case characters
  }
  if (key == Qt::Key_F1) return kKeyF1;
  if (key == Qt::Key_MediaPlay || key == Qt::Key_MediaTogglePlayPause ||
      key == Qt::Key_MediaPause) {
    return kKeyMediaPlay;
  }
  return 0;
}

}  // namespace

MainWindow::MainWindow(MainWindowParts parts)
    : QWidget(nullptr), p_(std::move(parts)), channel_(std::make_unique<Channel>(this)) {
  dispatcher_ = std::make_unique<CommandDispatcher>(
      CommandParts{p_.lock, p_.settings, p_.play_list, p_.status, p_.player, p_.context, p_.writer,
                   p_.queue, p_.window_state, *this, p_.dialog, *channel_});
  setWindowTitle(kWindowTitle);
  setWindowIcon(p_.program_icon);
  setAccessibleName(kWindowTitle);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(kMinimumWindowWidth, kMinimumWindowHeight);
  buildToolBar();
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setRange(0, 1000);
  slider_->setAccessibleName("Song position");
  slider_->setFocusPolicy(Qt::StrongFocus);
  connect(slider_, &QSlider::sliderReleased, this, [this] { sliderMoved(); });
  connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
    if (action != QAbstractSlider::SliderMove) {
      QMetaObject::invokeMethod(
          this, [this] { sliderMoved(); }, Qt::QueuedConnection);
    }
  });
  buildList();
  video_ = new VideoWidget(this);
  buildStatusBar();
  qApp->installEventFilter(this);
  resize(kDefaultWindowWidth, kDefaultWindowHeight);  // until a saved placement says otherwise
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  if (tray_ != nullptr) tray_->hide();
}

engine::WindowChannel& MainWindow::channel() { return *channel_; }

void MainWindow::buildToolBar() {
  toolbar_ = new QToolBar(this);
  toolbar_->setIconSize(QSize(kToolBarImageSize, kToolBarImageSize));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setAccessibleName("Toolbar");
  for (const ToolbarButton& button : toolbarButtons()) {
    if (button.separator) {
      toolbar_->addSeparator();
      continue;
    }
    QIcon icon;
    if (button.image >= 0 && button.image < static_cast<int32_t>(p_.toolbar_images.size())) {
      icon = p_.toolbar_images[button.image];
    }
    QAction* action = toolbar_->addAction(icon, fromBytes(button.tooltip));
    const int32_t command = button.command;
    connect(action, &QAction::triggered, this, [this, command] { runCommand(command, 0); });
    action->setToolTip(fromBytes(button.tooltip));
    if (QWidget* widget = toolbar_->widgetForAction(action)) {
      widget->setAccessibleName(fromBytes(button.tooltip));
      widget->setObjectName(QString("command%1").arg(command));
      widget->setFocusPolicy(Qt::NoFocus);
    }
    if (command == kCmdPlay) play_action_ = action;
  }
  updatePlayTooltip();
}

void MainWindow::buildList() {
  model_ = new PlayListModel(p_.play_list, this);
  list_ = new QTableView(this);
  list_->setModel(model_);
  setUpRowList(*list_, "Play list", engine::kFileNameColumn);
  for (int column = 0; column < engine::kPlayListColumns; ++column) {
    int width = p_.settings.get(settings::kColumnWidth, static_cast<uint32_t>(column));
    if (width < kMinimumColumnWidth || width > kMaximumColumnWidth) width = kDefaultColumnWidth;
    list_->setColumnWidth(column, width);
  }
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QTableView::customContextMenuRequested, this, [this] {
    // Ignored while start-up still opens the database.
    if (p_.window_state.opening_database.load() != 0) return;
    p_.window_state.menu_from_list.store(1);
    showPopupMenu(0);
  });
  connect(list_, &QTableView::doubleClicked, this, [this] {
    const int row = list_->currentIndex().row();
    if (row >= 0) dispatcher_->rowDoubleClicked(row);
  });
}

void MainWindow::buildStatusBar() {
  status_bar_ = new QWidget(this);
  status_bar_->setAccessibleName("Status bar");
  for (int i = 0; i < kStatusParts; ++i) {
    auto* label = new QLabel(status_bar_);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setContentsMargins(3, 0, 3, 0);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(QString("Status part %1").arg(i + 1));
    status_labels_[i] = label;
  }
  status_labels_[0]->setText(kVersionTitleText);
}

void MainWindow::layOut() {
  const int w = width();
  const int h = height();
  p_.window_state.client_width.store(w);
  p_.window_state.client_height.store(h);
  p_.settings.set(settings::kMaximized, isMaximized() ? 1 : 0);
  const Layout layout = computeLayout(w, h);
  toolbar_->setGeometry(0, 0, w, kDisplayTop);
  list_->setGeometry(layout.list.x, layout.list.y, layout.list.width, layout.list.height);
  list_->setVisible(layout.list_visible);
  slider_->setGeometry(layout.slider.x, layout.slider.y, layout.slider.width, layout.slider.height);
  status_bar_->setGeometry(0, h - kStatusBarHeight, w, kStatusBarHeight);
  int left = 0;
  for (int i = 0; i < kStatusParts; ++i) {
    const bool shown = i < static_cast<int>(layout.status_part_edges.size());
    status_labels_[i]->setVisible(shown);
    if (!shown) continue;
    const int right = layout.status_part_edges[i];
    status_labels_[i]->setGeometry(left, 0, right - left, kStatusBarHeight);
    left = right;
  }
  if (p_.lock.words().playing.load() != 0) (void)requestVideoMove(p_.lock.words());
}

void MainWindow::resizeEvent(QResizeEvent*) { layOut(); }

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (p_.window_state.in_tray.load() != 0) return;
  PaintInput input = displayInput(p_.player, p_.settings, p_.window_state);
  input.line_height = arialLineHeight;
  const QImage picture = p_.cover.picture();
  input.cover_ready = input.cover_ready && !picture.isNull();
  drawPaintList(painter, paintDisplay(input), p_.program_icon, picture);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::RightButton) {
    showPopupMenu(at.x());
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  const DisplayClick click =
      handleDisplayClick(at.x(), at.y(), p_.settings, p_.window_state, p_.lock.words(), p_.player);
  if (click.kind != DisplayClick::Kind::kNothing) update();
}

void MainWindow::runCommand(int32_t command, int32_t parameter) {
  if (destroyed_) return;
  (void)dispatcher_->dispatch(command, parameter);
  updatePlayTooltip();
}

void MainWindow::requestClose() {
  if (destroyed_) return;
  dispatcher_->closeRequested();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (destroyed_) {
    event->accept();
    return;
  }
  event->ignore();
  requestClose();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  // The keys work whichever of the window's controls has the focus; dialogs keep their own.
  if (widget == nullptr || widget->window() != this) return false;
  const int key = tableKey(*static_cast<QKeyEvent*>(event));
  return key != 0 && keyPressed(key);
}

bool MainWindow::keyPressed(int key) {
  const KeyOutcome outcome = handleKey(key, p_.lock.words(), p_.settings, p_.status);
  if (outcome.command != 0) channel_->postCommand(outcome.command, 0);
  if (outcome.show_menu) showPopupMenu(0);
  if (outcome.handled) update();
  return outcome.handled;
}

void MainWindow::showStatus(const StatusTexts& texts) {
  for (int i = 0; i < kStatusParts; ++i) {
    if (texts[i]) status_labels_[i]->setText(fromBytes(*texts[i]));
  }
}

void MainWindow::setSliderPosition(int32_t position) {
  if (slider_->isSliderDown()) return;
  slider_->setValue(position);
}

bool MainWindow::seekSlider(int32_t permille) {
  if (destroyed_) return false;
  return dispatcher_->sliderMoved(permille);
}

void MainWindow::sliderMoved() { (void)dispatcher_->sliderMoved(slider_->value()); }

void MainWindow::updatePlayTooltip() {
  if (play_action_ == nullptr) return;
  const bool playing = p_.lock.words().playing.load() != 0;
  const bool paused = !playing && p_.player.resume_position.load() > 0;
  const QString tip = fromBytes(playButtonTooltip(playing, paused));
  play_action_->setToolTip(tip);
  play_action_->setText(tip);
  if (QWidget* widget = toolbar_->widgetForAction(play_action_)) widget->setAccessibleName(tip);
}

void MainWindow::setPlayButtonImage(int32_t image) {
  if (play_action_ != nullptr && image >= 0 &&
      image < static_cast<int32_t>(p_.toolbar_images.size())) {
    play_action_->setIcon(p_.toolbar_images[image]);
  }
  updatePlayTooltip();
}

// ---- Tray and on-top ----

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  p_.settings.set(settings::kMaximized, isMaximized() ? 1 : 0);
  if (isMinimized() && p_.settings.get(settings::kTray) != 0 &&
      QSystemTrayIcon::isSystemTrayAvailable()) {
    // Hidden only where a tray icon can bring it back; elsewhere it minimizes normally.
    QMetaObject::invokeMethod(
        this, [this] { goToTray(); }, Qt::QueuedConnection);
  }
}

void MainWindow::goToTray() {
  if (!isMinimized() || destroyed_) return;
  if (tray_ == nullptr) {
    tray_ = new QSystemTrayIcon(p_.program_icon, this);
    tray_menu_ = new QMenu(this);
    // The tray's menu is the popup menu with its tray section, built afresh each time.
    connect(tray_menu_, &QMenu::aboutToShow, this, [this] {
      tray_menu_->clear();
      fillMenu(*tray_menu_, preparePopupMenu(popupSources(), p_.window_state, 0).items,
               [this](int32_t command) { channel_->postCommand(command, 0); });
    });
    connect(tray_menu_, &QMenu::aboutToHide, this, [this] { popupMenuClosed(p_.window_state); });
    tray_->setContextMenu(tray_menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
      if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) restoreFromTray();
    });
  }
  hide();
  p_.window_state.in_tray.store(1);
  p_.settings.set(settings::kMaximized, 0);
  refreshTrayTip();
  tray_->show();
}

void MainWindow::restoreFromTray() {
  p_.window_state.in_tray.store(0);
  if (tray_ != nullptr) tray_->hide();
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::refreshTrayTip() {
  if (tray_ == nullptr) return;
  tray_->setToolTip(
      fromBytes(trayTip(p_.lock.words().playing.load() != 0, p_.player.current().title)));
}

void MainWindow::applyOnTop(bool on_top) { applyStaysOnTop(*this, on_top); }

// ---- Placement ----

void MainWindow::applySavedPlacement() {
  std::array<int32_t, 11> words{};
  for (uint32_t i = 0; i < words.size(); ++i) {
    words[i] = p_.settings.get(settings::kWindowPlacement, i);
  }
  fitOnScreen(savedClientRect(words));
  refit_when_shown_ = true;
  if (p_.settings.get(settings::kMaximized) != 0) {
    setFocus();
    channel_->postCommand(kCmdShowMaximized, 0);
  }
}

void MainWindow::fitOnScreen(const std::optional<Rect>& wanted) {
  const QScreen* on = screen();
  if (on == nullptr) return;
  const QRect area = on->availableGeometry();
  FrameMargins frame;
  if (testAttribute(Qt::WA_WState_Created)) {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    frame = {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
             outer.bottom() - inner.bottom()};
  }
  const Rect r = fitWindow(wanted, Rect{area.x(), area.y(), area.width(), area.height()}, frame);
  setGeometry(r.x, r.y, r.width, r.height);
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!refit_when_shown_) return;
  refit_when_shown_ = false;
  // Once shown the frame is known: a normal window that reaches past the screen's free area
  // with it is fitted in.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (isMaximized() || isMinimized() || isFullScreen() || screen() == nullptr) return;
        if (!screen()->availableGeometry().contains(frameGeometry())) {
          const QRect g = geometry();
          fitOnScreen(Rect{g.x(), g.y(), g.width(), g.height()});
        }
      },
      Qt::QueuedConnection);
}

void MainWindow::placeVideo() {
  const Layout layout = computeLayout(width(), height());
  video_->placeIn({layout.video.x, layout.video.y, layout.video.width, layout.video.height});
}

std::array<int32_t, 11> MainWindow::placement() const {
  const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
  const QRect r = normal.isValid() ? normal : geometry();
  // length, flags, show command (1 normal, 3 maximized), minimized and maximized positions,
  // then the normal rectangle.
  return {44,
          0,
          isMaximized() ? 3 : 1,
          0,
          0,
          0,
          0,
          r.left(),
          r.top(),
          r.left() + r.width(),
          r.top() + r.height()};
}

std::array<int32_t, 5> MainWindow::columnWidths() const {
  std::array<int32_t, 5> widths{};
  for (int column = 0; column < engine::kPlayListColumns; ++column) {
    widths[column] = list_->columnWidth(column);
  }
  return widths;
}

// ---- The rest of WindowActions ----

void MainWindow::setDialogSources(const DialogSources& sources) {
  dialogs_ = std::make_unique<DialogHost>(
      DialogParts{sources.env, p_.lock, p_.settings, sources.library, p_.play_list, p_.status,
                  p_.player, p_.context, sources.threads, sources.builder, sources.state_switcher,
                  p_.dialog, *channel_, sources.buffering, p_.writer, p_.queue},
      *this, this);
}

bool MainWindow::dialogOpen(WindowDialog dialog) {
  return dialogs_ != nullptr && dialogs_->dialogOpen(dialog);
}

void MainWindow::openSearch(SearchMode mode, const std::string& artist) {
  if (dialogs_ != nullptr) dialogs_->openSearch(mode, artist);
}
void MainWindow::openDatabaseDialog() {
  if (dialogs_ != nullptr) dialogs_->openDatabaseDialog();
}
void MainWindow::openOptionsDialog() {
  if (dialogs_ != nullptr) dialogs_->openOptionsDialog();
}
void MainWindow::openSongDetails(int32_t record) {
  if (dialogs_ != nullptr) dialogs_->openSongDetails(record);
}

AboutInfo MainWindow::aboutInfo() const {
  AboutInfo info;
  info.library_path = p_.settings.text(settings::kDatabasePath);
  info.song_count = songCountOf(live_records_ ? live_records_() : 0);
  info.help_path = p_.context.program_directory + kReadMeFile;
  return info;
}

void MainWindow::openAbout() {
  AboutDialog about(aboutInfo(), this);
  about.exec();
}

std::optional<int32_t> MainWindow::showRateKeypad() {
  RateKeypadDialog keypad(this);
  keypad.adjustSize();
  keypad.move(geometry().center() - keypad.rect().center());
  return rateKeypadButton(keypad.exec());
}

void MainWindow::launchFiller() {
  // The program file itself: in an installed copy the program directory holds only its files.
  const QString directory = fromPath(p_.context.program_directory);
  QProcess::startDetached(QCoreApplication::applicationFilePath(), {"\\f"}, directory);
}

void MainWindow::minimize() { showMinimized(); }

void MainWindow::showMaximized() { QWidget::showMaximized(); }

void MainWindow::repaintAll() {
  update();
  list_->viewport()->update();
}

void MainWindow::destroyWindow() {
  if (destroyed_) return;
  destroyed_ = true;
  if (dialogs_ != nullptr) dialogs_->closeAll();
  if (tray_ != nullptr) tray_->hide();
  p_.window_state.in_tray.store(0);
  if (on_destroy_) on_destroy_();
}

void MainWindow::startStateSwitch(int32_t state) {
  if (p_.start_state_switch) p_.start_state_switch(state);
}

int32_t MainWindow::focusedRow() {
  const QModelIndex index = list_->currentIndex();
  return index.isValid() ? index.row() : -1;
}

// ---- Popup menus ----

PopupSources MainWindow::popupSources() const {
  return PopupSources{p_.lock.words(), p_.settings, p_.play_list, p_.writer, p_.queue};
}

void MainWindow::showPopupMenu(int32_t click_x) {
  if (destroyed_) return;
  if (popup_ != nullptr) {
    // A menu still open goes; its closing must not end the new menu's play-list request.
    const int32_t from_list = p_.window_state.menu_from_list.load();
    popup_->close();
    p_.window_state.menu_from_list.store(from_list);
  }
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  fillMenu(*menu, preparePopupMenu(popupSources(), p_.window_state, click_x).items,
           [this](int32_t command) { channel_->postCommand(command, 0); });
  connect(menu, &QMenu::aboutToHide, this, [this] { popupMenuClosed(p_.window_state); });
  popup_ = menu;
  activateWindow();
  menu->popup(QCursor::pos());
}

}  // namespace tunora::ui::qt

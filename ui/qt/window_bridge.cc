// The window as the engine's threads see it.
#include "ui/qt/window_bridge.h"

#include <QFileDialog>
#include <QTableView>
#include <QThread>
#include <condition_variable>

#include "ui/paint_list.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/main_window.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {

WindowBridge::WindowBridge(MainWindow* window, WindowState& state, MessageDialog& dialog,
                           CoverPicture& cover)
    : window_(window), state_(state), dialog_(dialog), cover_(cover) {
  widths_ = window->columnWidths();
}

void WindowBridge::detach() {
  if (window_) {
    std::lock_guard lock(mu_);
    widths_ = window_->columnWidths();
    placement_ = state_.in_tray.load() != 0 ? std::nullopt : std::optional(window_->placement());
  }
  detached_.store(true);
}

bool WindowBridge::runOnWindow(const std::function<void(MainWindow&)>& work) {
  if (detached_.load() || !window_) return false;
  MainWindow* window = window_;
  if (QThread::currentThread() == window->thread()) {
    work(*window);
    return true;
  }
  struct Done {
    std::mutex mu;
    std::condition_variable cv;
    bool ran = false;
    bool abandoned = false;  // the caller stopped waiting: the call must not run any more
  };
  auto done = std::make_shared<Done>();
  QMetaObject::invokeMethod(
      window,
      [window, work, done] {
        // Held while the work runs, so the caller either gets its answer or has left already
        // (and the work, whose references may be gone, does not run).
        std::lock_guard lock(done->mu);
        if (done->abandoned) return;
        work(*window);
        done->ran = true;
        done->cv.notify_all();
      },
      Qt::QueuedConnection);
  // The window thread answers unless it is going away: detach() comes before the window is
  // destroyed and before the program's threads are joined, so this wait always ends.
  std::unique_lock lock(done->mu);
  while (!done->ran) {
    if (done->cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return done->ran; })) break;
    if (detached_.load()) {
      done->abandoned = true;
      break;
    }
  }
  return done->ran;
}

void WindowBridge::post(std::function<void(MainWindow&)> work) {
  if (detached_.load() || !window_) return;
  MainWindow* window = window_;
  QMetaObject::invokeMethod(
      window, [window, work = std::move(work)] { work(*window); }, Qt::QueuedConnection);
}

void WindowBridge::setSliderPosition(int32_t position) {
  slider_.store(position);
  post([position](MainWindow& w) { w.setSliderPosition(position); });
}

void WindowBridge::setPlayButtonImage(int32_t image) {
  post([image](MainWindow& w) { w.setPlayButtonImage(image); });
}

void WindowBridge::resetDisplayForNewSong() {
  state_.cover.resetForNewSong();
  cover_.release();
  state_.quick_links.markForReload();
}

void WindowBridge::repaintSongText() {
  post([](MainWindow& w) {
    w.update();
    w.refreshTrayTip();
  });
}

void WindowBridge::repaintWithVideo() {
  // The player opened the video off screen: the window puts it in its place.
  post([](MainWindow& w) {
    w.placeVideo();
    w.repaintAll();
  });
}

void WindowBridge::refreshStatus() {
  if (refresh_) refresh_();
}

void WindowBridge::applyOnTop() {
  const bool on_top = on_top_ && on_top_();
  post([on_top](MainWindow& w) { w.applyOnTop(on_top); });
}

int32_t WindowBridge::focusedRow() {
  int32_t row = -1;
  (void)runOnWindow([&row](MainWindow& w) { row = w.focusedRow(); });
  return row;
}

std::optional<std::string> WindowBridge::chooseFile(const std::string& proposed, int32_t filter,
                                                    bool save) {
  static const char* const kFilters[] = {"Tunora Files (*.m3u *.txt *.mbf)",
                                         "Playlists (*.m3u *.txt)", "MarlBase (*.mbf)",
                                         "All Files (*)"};
  std::optional<std::string> chosen;
  (void)runOnWindow([&](MainWindow& w) {
    const QString filters =
        QString("%1;;%2;;%3;;%4").arg(kFilters[0], kFilters[1], kFilters[2], kFilters[3]);
    QString selected = kFilters[(filter >= 1 && filter <= 4) ? filter - 1 : 3];
    const QString path =
        save ? QFileDialog::getSaveFileName(&w, "Tunora", fromPath(proposed), filters, &selected)
             : QFileDialog::getOpenFileName(&w, "Tunora", fromPath(proposed), filters, &selected);
    if (!path.isEmpty()) chosen = path.toLocal8Bit().toStdString();
  });
  return chosen;
}

void WindowBridge::repaint() {
  post([](MainWindow& w) { w.repaintAll(); });
}

void WindowBridge::scrollToTop() {
  post([](MainWindow& w) { w.listView()->scrollToTop(); });
}

std::optional<std::array<int32_t, 11>> WindowBridge::windowPlacement() {
  std::optional<std::array<int32_t, 11>> placement;
  const bool ran = runOnWindow([&placement](MainWindow& w) { placement = w.placement(); });
  if (ran && state_.in_tray.load() != 0) return std::nullopt;
  if (ran) return placement;
  std::lock_guard lock(mu_);
  return placement_;
}

std::array<int32_t, 5> WindowBridge::columnWidths() {
  std::array<int32_t, 5> widths{};
  if (runOnWindow([&widths](MainWindow& w) { widths = w.columnWidths(); })) return widths;
  std::lock_guard lock(mu_);
  return widths_;
}

}  // namespace tunora::ui::qt

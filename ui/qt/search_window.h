// The search window: a top-level window of its own listing library songs in seven columns (the
// play list's five, "Rating" and "Index"), filled by a worker thread that asks for the text,
// waits for the database grant and finds the rows (ui/search_session.h), then posts them here.
// The main window stays usable throughout. Double-click puts the song at the top of the play list
// and plays it at once; the context menu has "Details", "Play Next" and "Help". Closing the
// window tells its worker to stop. GUI thread only.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "maintenance/song_search.h"
#include "ui/qt/dialog_parts.h"
#include "ui/window_actions.h"

class QTableView;

namespace tunora::ui::qt {

class DialogHost;
class SearchRowModel;

// What the window and its worker share; the worker holds it until it ends.
struct SearchWork {
  std::atomic<bool> abort{false};
};

class SearchWindow final : public QWidget {
  Q_OBJECT

 public:
  // Shows the window and starts its worker on `host`'s thread set. `text` is the shared search
  // text (the prompt's pre-filled text, or the artist).
  SearchWindow(DialogHost& host, SearchMode mode, const std::string& text);
  ~SearchWindow() override;

  SearchMode mode() const { return mode_; }
  // False once the window was closed.
  bool open() const { return !closed_; }
  // The host is going away: the window forgets it, stops its worker and closes.
  void detachAndClose();

  // The text confirmed at the prompt becomes the shared search text.
  void rememberSearchText(const std::string& text);
  // The rows shown (from the worker, or in tests).
  void showRows(std::vector<maintenance::SearchRow> rows);
  int32_t rowCount() const;
  const maintenance::SearchRow* row(int32_t index) const;
  QTableView* listView() const { return list_; }
  // The context menu showing now; nullptr when none.
  QMenu* contextMenu() const { return menu_; }
  bool workerStarted() const { return worker_started_; }

  // The actions on a row: "Play Next", double-click, "Details".
  void playNext(int32_t row);
  void playNow(int32_t row);
  void openDetails(int32_t row);
  // Shows the context menu at a global position.
  void showContextMenu(const QPoint& global);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void startWorker(const std::string& text);
  // Puts the row's song at the top on a thread of its own; with `play`, then plays it at once.
  void putAtTop(int32_t row, bool play);
  int32_t focusedRow() const;

  DialogHost* host_;
  DialogParts parts_;
  SearchMode mode_;
  std::shared_ptr<SearchWork> work_ = std::make_shared<SearchWork>();
  QTableView* list_ = nullptr;
  SearchRowModel* model_ = nullptr;
  QPointer<QMenu> menu_;
  bool closed_ = false;
  bool worker_started_ = false;
};

}  // namespace tunora::ui::qt

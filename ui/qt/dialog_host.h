// The main window's dialogs and modeless windows: opens each on request, knows which are open,
// and keeps what they share (the last search text of the search window and the details
// dialog's "Find"). Owned by the main window; GUI thread only. Closing the host (the window
// going away) closes every dialog and stops the work they started.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/qt/dialog_parts.h"
#include "ui/window_actions.h"

namespace tunora::ui::qt {

class DatabaseDialog;
class OptionsDialog;
class SearchWindow;
class SongDetailsDialog;

class DialogHost {
 public:
  // `actions` is the main window (dialogs open one another through it); `parent` its widget.
  DialogHost(DialogParts parts, WindowActions& actions, QWidget* parent);
  ~DialogHost();
  DialogHost(const DialogHost&) = delete;
  DialogHost& operator=(const DialogHost&) = delete;

  bool dialogOpen(WindowDialog dialog) const;
  void openSearch(SearchMode mode, const std::string& artist);
  void openDatabaseDialog();
  void openOptionsDialog();
  // The Song details dialog on `record`, modal over `owner` (the main window when null, or the
  // search window it was opened from). A dialog open already shows the record instead.
  void openSongDetails(int32_t record, QWidget* owner = nullptr);
  // Closes every dialog and window; their threads are told to stop.
  void closeAll();

  // The text the search window and the details dialog's "Find" last searched for.
  std::string& lastSearchText() { return last_search_text_; }
  const DialogParts& parts() const { return parts_; }
  // The search window open now; nullptr when none.
  SearchWindow* searchWindow() const;
  WindowActions& actions() { return actions_; }
  QWidget* parent() const { return parent_; }

 private:
  DialogParts parts_;
  WindowActions& actions_;
  QWidget* parent_;
  std::string last_search_text_;
  // The search window (one at a time); it deletes itself when closed.
  QPointer<SearchWindow> search_;

  // ---- Song details: one dialog at a time ----
  QPointer<SongDetailsDialog> song_details_;

  // ---- The Options dialog ----
  QPointer<OptionsDialog> options_;

  // The Database dialog (deletes itself when closed).
  QPointer<DatabaseDialog> database_dialog_;
};

}  // namespace tunora::ui::qt

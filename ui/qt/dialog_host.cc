// The main window's dialogs.
#include "ui/qt/dialog_host.h"

#include "settings/settings_file.h"
#include "ui/qt/database_dialog.h"
#include "ui/qt/internals_dialog.h"
#include "ui/qt/options_dialog.h"
#include "ui/qt/search_window.h"
#include "ui/qt/song_details_dialog.h"
#include "ui/search_session.h"

namespace tunora::ui::qt {

DialogHost::DialogHost(DialogParts parts, WindowActions& actions, QWidget* parent)
    : parts_(parts), actions_(actions), parent_(parent) {}

DialogHost::~DialogHost() {
  closeAll();
  delete search_.data();  // closed, its deletion still pending
}

bool DialogHost::dialogOpen(WindowDialog dialog) const {
  switch (dialog) {
    case WindowDialog::kDatabase:
      return !database_dialog_.isNull();
    case WindowDialog::kOptions:
      return options_ != nullptr && options_->isVisible();
    case WindowDialog::kSearch:
      return search_ && search_->open();
    case WindowDialog::kSongDetails:
      return song_details_ != nullptr && song_details_->workState() != 0;
    default:
      return false;
  }
}

// ---- The search window ----

void DialogHost::openSearch(SearchMode mode, const std::string& artist) {
  if (search_ && search_->open()) {  // one at a time: the open one comes to the front
    search_->raise();
    search_->activateWindow();
    return;
  }
  if (mode == SearchMode::kArtist) last_search_text_ = artist.substr(0, kSearchTextLimit);
  search_ = new SearchWindow(*this, mode, last_search_text_);
}

SearchWindow* DialogHost::searchWindow() const {
  return dialogOpen(WindowDialog::kSearch) ? search_.data() : nullptr;
}

// ---- The Database dialog ----

void DialogHost::openDatabaseDialog() {
  if (database_dialog_) {
    database_dialog_->raise();
    database_dialog_->activateWindow();
    return;
  }
  DatabaseDialogHooks hooks;
  hooks.save_settings = [&settings = parts_.settings, dir = parts_.context.data_directory] {
    (void)saveSettings(settings, dir, SaveSources{});
  };
  // "Advanced": the Internals dialog, owned by the Database dialog.
  hooks.open_advanced = [this](QWidget* owner) { (void)openInternalsDialog(*this, owner); };
  database_dialog_ = new DatabaseDialog(parts_, actions_, std::move(hooks), parent_);
  database_dialog_->setAttribute(Qt::WA_DeleteOnClose);
  database_dialog_->show();
}

// ---- Options and Internals ----

void DialogHost::openOptionsDialog() {
  if (options_ != nullptr) {
    options_->raise();
    options_->activateWindow();
    return;
  }
  options_ = new OptionsDialog(*this, parent_);
  options_->setAttribute(Qt::WA_DeleteOnClose);
  options_->show();
}

// ---- Song details ----

void DialogHost::openSongDetails(int32_t record, QWidget* owner) {
  if (song_details_ != nullptr && song_details_->workState() != 0) {
    song_details_->showRecord(record);
    return;
  }
  // Window-modal: it blocks the window it was opened from, and only that one.
  song_details_ =
      new SongDetailsDialog(parts_, last_search_text_, record, owner != nullptr ? owner : parent_);
  song_details_->show();
}

// ---- All of them ----

void DialogHost::closeAll() {
  if (search_) search_->detachAndClose();
  if (song_details_ != nullptr) song_details_->reject();
  // Deleted now, not later: its workers post nothing from here on.
  if (song_details_ != nullptr) delete song_details_.data();
  // Closing as "Cancel": nothing is stored.
  if (options_ != nullptr) options_->reject();
  if (database_dialog_) database_dialog_->close();
}

}  // namespace tunora::ui::qt

// The main window's dialogs.
#include "ui/qt/dialog_host.h"

#include "settings/settings_file.h"
#include "ui/qt/database_dialog.h"

namespace tunora::ui::qt {

DialogHost::DialogHost(DialogParts parts, WindowActions& actions, QWidget* parent)
    : parts_(parts), actions_(actions), parent_(parent) {}

DialogHost::~DialogHost() { closeAll(); }

void DialogHost::notAvailable(const char* what) {
  MessageRequest request;
  request.message = std::string(what) + " is not available in this version yet.";
  request.first_button = kOkButton;
  request.second_button = kViewReadMeButton;
  if (parts_.dialog.show(request).button == kSecondButton) parts_.dialog.openReadMe();
}

bool DialogHost::dialogOpen(WindowDialog dialog) const {
  if (dialog == WindowDialog::kDatabase) return !database_dialog_.isNull();
  return false;
}

// ---- The search window ----

void DialogHost::openSearch(SearchMode, const std::string&) {
  notAvailable("The search window");
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
  // "Advanced": the Internals dialog, owned by the Database dialog. STUB until that dialog is
  // in: shows nothing.
  hooks.open_advanced = [](QWidget* /*owner*/) {};
  database_dialog_ = new DatabaseDialog(parts_, actions_, std::move(hooks), parent_);
  database_dialog_->setAttribute(Qt::WA_DeleteOnClose);
  database_dialog_->show();
}

// ---- Options and Internals ----

void DialogHost::openOptionsDialog() {
  notAvailable("The Options dialog");
}

// ---- Song details ----

void DialogHost::openSongDetails(int32_t) {
  notAvailable("The Song details dialog");
}

// ---- All of them ----

void DialogHost::closeAll() {
  if (database_dialog_) database_dialog_->close();
}

}  // namespace tunora::ui::qt

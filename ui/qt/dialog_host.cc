// The main window's dialogs.
#include "ui/qt/dialog_host.h"

#include "ui/qt/options_dialog.h"

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
  if (dialog == WindowDialog::kOptions) return options_ != nullptr && options_->isVisible();
  return false;
}

// ---- The search window ----

void DialogHost::openSearch(SearchMode, const std::string&) {
  notAvailable("The search window");
}

// ---- The Database dialog ----

void DialogHost::openDatabaseDialog() {
  notAvailable("The Database functions dialog");
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

void DialogHost::openSongDetails(int32_t) {
  notAvailable("The Song details dialog");
}

// ---- All of them ----

void DialogHost::closeAll() {
  // Closing as "Cancel": nothing is stored.
  if (options_ != nullptr) options_->reject();
}

}  // namespace tunora::ui::qt

// The main window's dialogs.
#include "ui/qt/dialog_host.h"

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

bool DialogHost::dialogOpen(WindowDialog) const { return false; }

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
  notAvailable("The Options dialog");
}

// ---- Song details ----

void DialogHost::openSongDetails(int32_t) {
  notAvailable("The Song details dialog");
}

// ---- All of them ----

void DialogHost::closeAll() {}

}  // namespace tunora::ui::qt

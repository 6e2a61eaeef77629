// The library-opening operations.
#include "network/library_opening.h"

namespace tunora::network {

NetworkLibrary* LibraryOpening::networkMode() const {
  return settings_.get(settings::kNetwork) != 0 ? network_ : nullptr;
}

void LibraryOpening::openLibraryForReading() {
  if (NetworkLibrary* network = networkMode()) {
    network->openLibraryForReading();
    return;
  }
  table_.setPath(settings_.text(settings::kDatabasePath));
  table_.setWritable(false);
  (void)table_.open();  // the caller looks at isOpen()
}

bool LibraryOpening::openLibraryForWriting() {
  if (NetworkLibrary* network = networkMode()) return network->openLibraryForWriting();
  table_.setPath(settings_.text(settings::kDatabasePath));
  table_.setWritable(true);
  return table_.open().ok();
}

void LibraryOpening::closeLibraryAfterWriting() {
  if (NetworkLibrary* network = networkMode()) {
    network->closeLibraryAfterWriting();
    return;
  }
  table_.close();
}

}  // namespace tunora::network

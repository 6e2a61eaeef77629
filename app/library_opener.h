// How start-up opens the song library for reading. Network mode (a local copy of a library on a
// share) replaces this seam later; until then the table is opened directly.
#pragma once

#include "app/app_context.h"
#include "marlbase/table_handle.h"
#include "settings/settings.h"

namespace tunora {

class LibraryOpener {
 public:
  virtual ~LibraryOpener() = default;
  // Opens the library read-only into `table`. The caller checks table.isOpen() afterwards.
  virtual void openLibraryForReading(marlbase::TableHandle& table, const Settings& settings,
                                     AppContext& context) = 0;
};

// Opens the table at `DatabasePath` read-only, nothing more.
class DirectLibraryOpener final : public LibraryOpener {
 public:
  void openLibraryForReading(marlbase::TableHandle& table, const Settings& settings,
                             AppContext& context) override;
};

}  // namespace tunora

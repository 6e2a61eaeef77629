// The direct library opener.
#include "app/library_opener.h"

namespace tunora {

void DirectLibraryOpener::openLibraryForReading(marlbase::TableHandle& table,
                                                const Settings& settings, AppContext&) {
  table.setPath(settings.text(settings::kDatabasePath));
  table.setWritable(false);
  (void)table.open();  // the caller looks at isOpen()
}

}  // namespace tunora

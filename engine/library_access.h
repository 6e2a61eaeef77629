// How engine code opens the song table: only through the three library-opening operations, which
// hide Network mode. The network library implements this; the caller must hold a grant of the
// shared lock for as long as the table is open.
#pragma once

#include "marlbase/table_handle.h"

namespace tunora::engine {

class LibraryAccess {
 public:
  virtual ~LibraryAccess() = default;
  // Opens the song table read-only into table(); the caller checks table().isOpen() and closes
  // it when done.
  virtual void openLibraryForReading() = 0;
  // Opens the song table for writing into table(). True when it is open.
  [[nodiscard]] virtual bool openLibraryForWriting() = 0;
  // Closes the table opened by openLibraryForWriting (and in Network mode writes it back).
  virtual void closeLibraryAfterWriting() = 0;
  // The program's song-table handle.
  virtual marlbase::TableHandle& table() = 0;
};

}  // namespace tunora::engine

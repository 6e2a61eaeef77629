// The three library-opening operations, the only way the program opens its song table. With the
// "Network" setting off they open and close the library file at `DatabasePath` itself. Network
// mode (a local copy of a library on a share, write-back, offline states) plugs in through
// NetworkLibrary.
//
// Called only by the thread that holds the shared lock's grant, so the handle needs no further
// locking.
#pragma once

#include "engine/library_access.h"
#include "marlbase/table_handle.h"
#include "settings/settings.h"

namespace tunora::network {

// Network mode's versions of the three operations, working on the same table handle.
class NetworkLibrary {
 public:
  virtual ~NetworkLibrary() = default;
  virtual void openLibraryForReading() = 0;
  [[nodiscard]] virtual bool openLibraryForWriting() = 0;
  virtual void closeLibraryAfterWriting() = 0;
};

class LibraryOpening final : public engine::LibraryAccess {
 public:
  LibraryOpening(marlbase::TableHandle& table, const Settings& settings)
      : table_(table), settings_(settings) {}

  // Network mode's operations, used while the "Network" setting is on; nullptr (the default)
  // opens the library file directly whatever the setting says.
  void setNetworkLibrary(NetworkLibrary* network) { network_ = network; }

  // Opens `DatabasePath` read-only; the caller tests table().isOpen().
  void openLibraryForReading() override;
  // Opens `DatabasePath` for writing. False when it cannot be opened (missing, damaged, or
  // opened by another).
  bool openLibraryForWriting() override;
  // Closes the table (and in Network mode writes the copy back).
  void closeLibraryAfterWriting() override;
  marlbase::TableHandle& table() override { return table_; }

 private:
  NetworkLibrary* networkMode() const;

  marlbase::TableHandle& table_;
  const Settings& settings_;
  NetworkLibrary* network_ = nullptr;
};

}  // namespace tunora::network

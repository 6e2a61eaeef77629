// Protecting the library file and its songs' folders.
#include "filler/protected_library.h"

#include <climits>
#include <cstdlib>

#include "library/song_columns.h"

namespace tunora::filler {

void protectLibrary(ProtectedPlaces& places, const std::string& library_path,
                    marlbase::TableHandle& table) {
  places.protectFileAndParents(library_path);
  char real[PATH_MAX];
  if (::realpath(library_path.c_str(), real) != nullptr) places.protectFileAndParents(real);
  for (int32_t slot = table.nextLive(-1); slot >= 0;) {
    if (auto path = table.readText(slot, kColFileName)) places.protectFileAndParents(*path);
    const int32_t next = table.nextLive(slot);
    if (next == slot) break;
    slot = next;
  }
}

}  // namespace tunora::filler

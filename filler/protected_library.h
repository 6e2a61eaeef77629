// The library's part of the places "Empty Dir" never empties: the library file and the folder of
// every song in it, with every folder above them.
#pragma once

#include <string>

#include "filler/empty_dir.h"
#include "marlbase/table_handle.h"

namespace tunora::filler {

// Protects `library_path` (also with its links resolved) and the `FileName` of every live record
// of `table`, which the caller holds open. One pass over the table; a library of 100,000 songs
// in a few thousand folders adds a few thousand folders.
void protectLibrary(ProtectedPlaces& places, const std::string& library_path,
                    marlbase::TableHandle& table);

}  // namespace tunora::filler

// Creating a new song table: the library's one table, one record per media file. The columns
// and their meaning are in library/song_columns.h.
#pragma once

#include <cstdint>
#include <string>

#include "marlbase/table_handle.h"

namespace tunora {

// Creates a new song table at `path` (replacing any file there): 44 columns, capacity 10, header
// flag 1 and one blank live record in slot 0. On success the table is left open for writing and
// the caller closes it. On failure returns false and leaves the handle closed; a half-written
// file may remain, which the next open rejects or which the next creation replaces.
[[nodiscard]] bool createSongTable(marlbase::TableHandle& table, const std::string& path);

// The songs of a library as its users count them, from the table's live-record count: every
// song table keeps the blank live record it was created with in slot 0, which is no song.
constexpr int32_t songCountOf(int32_t live_records) {
  return live_records > 1 ? live_records - 1 : 0;
}

// True when the open table has the song table's 44 columns with their types.
bool hasSongColumns(const marlbase::TableHandle& table);

// Whether slot 0 of the open song table is live, as the blank first record keeps it.
bool hasBlankFirstRecord(const marlbase::TableHandle& table);

// Makes slot 0 of a song table open for writing live again when it is not (a library whose
// blank first record was deleted, which the import refuses): a deleted song found there is first
// copied, still deleted, into a slot of its own; then slot 0 gets empty fields and status 10.
// Returns a note saying what was done, or "" when slot 0 was live (or the table is not a writable
// song table, or the repair failed: then the note says so).
std::string repairBlankFirstRecord(marlbase::TableHandle& table);

}  // namespace tunora

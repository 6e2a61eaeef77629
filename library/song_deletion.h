// Deleting and reviving songs. A deleted song keeps its fields, so "Undelete All" can bring it
// back; but the table's compaction also leaves status 5 behind: every free slot a moved record
// passed through keeps a copy of it. Those copies are not songs anyone deleted, and reviving them
// would put one path in the library thousands of times. So a deletion also marks the record, in
// the reserved column 10 (0 in every record the import adds), and only marked records are revived.
#pragma once

#include <cstdint>

#include "marlbase/table_handle.h"

namespace tunora {

// Column 10's value in a song deleted by a user or a maintenance function ("DELU").
inline constexpr uint32_t kDeletedSongMark = 0x554C4544;

// Deletes the song in `slot` (status 5) and marks it as deleted. The status goes first: a kill in
// between leaves an unmarked deleted record, which reviveDeletedSongs still considers (below),
// never a live record that carries the mark into the copies of a later compaction. True when the
// status was written.
bool deleteSongRecord(marlbase::TableHandle& table, int32_t slot);

struct ReviveCounts {
  int64_t deleted_seen = 0;  // slots with status 5
  int64_t revived = 0;
};

// "Undelete All": makes live again (a) every marked deleted record, and (b) a deleted record
// without the mark (deleted before marks were written, or by a kill between the two writes)
// whose path no live record holds, once per path (matched ignoring ASCII case). Copies left by a
// compaction are copies of occupied records: their paths are live, so (b) leaves them. The mark
// is cleared before the status is written. Stops early, returning false, when *abort is set.
bool reviveDeletedSongs(marlbase::TableHandle& table, const std::atomic<bool>* abort,
                        ReviveCounts& counts);

}  // namespace tunora

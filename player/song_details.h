// A song's details as the player and the display use them: the record's fields for one user
// (media/record_fields.h), and whether they could be read.
#pragma once

#include <cstdint>

#include "marlbase/table_handle.h"
#include "media/record_fields.h"

namespace tunora::player {

// start_frame and end_frame are milliseconds (0 = from the beginning, to the end).
using SongDetails = media::RecordFields;

// Reads the user's Rating and Credit, Title, Artist, Album, Note, FileId, StartFrame and
// EndFrame of the record in `slot` of the open table; the slot is stored too. The handle's text
// register is left as it was. False when the record cannot be read (closed or empty table, bad
// slot, a user outside 0..9).
bool loadRecordFields(marlbase::TableHandle& table, int32_t slot, int32_t user,
                      SongDetails& details);

}  // namespace tunora::player

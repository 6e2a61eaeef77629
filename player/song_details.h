// A song's details as the player and the display use them, and `loadRecordFields`, which reads
// them out of a song record for one user.
#pragma once

#include <cstdint>
#include <string>

#include "marlbase/table_handle.h"

namespace tunora::player {

struct SongDetails {
  int32_t slot = -1;  // library slot; -1 unknown
  uint32_t rating = 0;
  uint32_t credit = 0;
  uint32_t file_id = 0;
  uint32_t start_frame = 0;  // milliseconds; 0 = from the beginning
  uint32_t end_frame = 0;    // milliseconds; 0 = to the end
  std::string title;
  std::string artist;
  std::string album;
  std::string note;
};

// Reads the user's Rating and Credit, Title, Artist, Album, Note, FileId, StartFrame and
// EndFrame of the record in `slot` of the open table; the slot is stored too. The handle's text
// register is left as it was. False (and `details` partly filled) when a field cannot be read.
bool loadRecordFields(marlbase::TableHandle& table, int32_t slot, int32_t user,
                      SongDetails& details);

}  // namespace tunora::player

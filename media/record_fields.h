// A song's record in an open song table: finding it by path and reading the fields that the
// play list and the player show for one user. The caller holds the shared lock's grant and has
// opened the table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "marlbase/table_handle.h"

namespace tunora::media {

// The fields of one record as seen by one user.
struct RecordFields {
  int32_t slot = -1;
  uint32_t rating = 0;  // the user's rating score
  uint32_t credit = 0;  // the user's selection credit
  std::string title;
  std::string artist;
  std::string album;
  std::string note;
  uint32_t file_id = 0;
  uint32_t start_frame = 0;
  uint32_t end_frame = 0;
};

// The slot of the record whose `FileName` equals path (ASCII letters in either case), the
// highest when several do; -1 when none. Only records with a status above 9 count; a deleted
// record is never found here. Sets the handle's search key to path.
int32_t findSongInTable(marlbase::TableHandle& table, std::string_view path);

// True when a deleted record (status 5) has `FileName` equal to path, compared as above.
bool deletedSongHasPath(marlbase::TableHandle& table, std::string_view path);

// loadRecordFields: the record at slot read for user (0..9; another number reads no score).
// The handle's text value buffer is left as it was. Fields that cannot be read stay empty or 0.
RecordFields loadRecordFields(marlbase::TableHandle& table, int32_t slot, int32_t user);

}  // namespace tunora::media

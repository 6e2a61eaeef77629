// Reading a song's details out of its record.
#include "player/song_details.h"

#include "library/song_columns.h"

namespace tunora::player {

bool loadRecordFields(marlbase::TableHandle& table, int32_t slot, int32_t user,
                      SongDetails& details) {
  details = media::loadRecordFields(table, slot, user);
  return table.getStatus(slot) >= 0 && user >= 0 && user < kUserCount;
}

}  // namespace tunora::player

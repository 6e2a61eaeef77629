// Reading a song's details out of its record.
#include "player/song_details.h"

#include <string>

#include "library/song_columns.h"

namespace tunora::player {

bool loadRecordFields(marlbase::TableHandle& table, int32_t slot, int32_t user,
                      SongDetails& details) {
  const std::string saved_text(table.textValue());
  details = SongDetails{};
  details.slot = slot;
  bool ok = true;
  auto number = [&](int32_t column, uint32_t& out) {
    if (auto v = table.readInt(slot, column)) {
      out = *v;
    } else {
      ok = false;
    }
  };
  auto text = [&](int32_t column, std::string& out) {
    if (auto v = table.readText(slot, column)) {
      out = std::move(*v);
    } else {
      ok = false;
    }
  };
  number(ratingColumn(user), details.rating);
  number(creditColumn(user), details.credit);
  text(kColTitle, details.title);
  text(kColArtist, details.artist);
  text(kColAlbum, details.album);
  text(kColNote, details.note);
  number(kColFileId, details.file_id);
  number(kColStartFrame, details.start_frame);
  number(kColEndFrame, details.end_frame);
  table.setTextValue(saved_text);
  return ok;
}

}  // namespace tunora::player

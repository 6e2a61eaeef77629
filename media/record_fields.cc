// A song's record in an open song table.
#include "media/record_fields.h"

#include <optional>
#include <string>

#include "library/song_columns.h"
#include "util/text_codec.h"

namespace tunora::media {

int32_t findSongInTable(marlbase::TableHandle& table, std::string_view path) {
  table.setSearchKey(path);
  return table.findInColumn(kColFileName);
}

bool deletedSongHasPath(marlbase::TableHandle& table, std::string_view path) {
  // The lookup by column skips deleted records, so they are walked one by one.
  const std::string keep(table.textValue());
  bool found = false;
  const auto capacity = static_cast<int32_t>(table.capacity());
  // firstWithStatus holds a start past the end at the last slot, so the walk stops there itself.
  for (int32_t slot = table.firstWithStatus(marlbase::kStatusDeleted, 0); slot >= 0;
       slot = slot + 1 < capacity ? table.firstWithStatus(marlbase::kStatusDeleted, slot + 1)
                                  : -1) {
    std::optional<std::string> stored = table.readText(slot, kColFileName);
    if (stored && equalIgnoringAsciiCase(*stored, path)) {
      found = true;
      break;
    }
  }
  table.setTextValue(keep);
  return found;
}

RecordFields loadRecordFields(marlbase::TableHandle& table, int32_t slot, int32_t user) {
  const std::string keep(table.textValue());
  RecordFields fields;
  fields.slot = slot;
  if (user >= 0 && user < kUserCount) {
    fields.rating = table.readInt(slot, ratingColumn(user)).value_or(0);
    fields.credit = table.readInt(slot, creditColumn(user)).value_or(0);
  }
  fields.title = table.readText(slot, kColTitle).value_or("");
  fields.artist = table.readText(slot, kColArtist).value_or("");
  fields.album = table.readText(slot, kColAlbum).value_or("");
  fields.note = table.readText(slot, kColNote).value_or("");
  fields.file_id = table.readInt(slot, kColFileId).value_or(0);
  fields.start_frame = table.readInt(slot, kColStartFrame).value_or(0);
  fields.end_frame = table.readInt(slot, kColEndFrame).value_or(0);
  table.setTextValue(keep);
  return fields;
}

}  // namespace tunora::media

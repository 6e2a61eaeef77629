// Putting a song at the top of the play list.
#include "ui/put_at_top.h"

#include "engine/lock_codes.h"
#include "maintenance/song_search.h"
#include "media/record_fields.h"
#include "media/settings_adaptor.h"

namespace tunora::ui {

bool putSongAtTop(const PlayListTopParts& parts, const std::string& path) {
  if (path.empty()) return false;
  engine::Grant grant = parts.lock.requestAndWait(engine::kCodePutAtTop, 0, 10);
  if (!grant) return false;
  parts.library.openLibraryForReading();
  marlbase::TableHandle& table = parts.library.table();
  if (!table.isOpen()) return false;
  const int32_t slot = media::findSongInTable(table, path);
  bool added = false;
  if (slot >= 0) {
    const maintenance::SearchRow row =
        maintenance::rowOf(table, slot, 0, media::mediaSwitchesOf(parts.settings));
    parts.play_list.insertAtTop({row.title, row.artist, row.album, row.path, row.type});
    added = true;
  }
  table.close();
  grant.release();
  if (added) {
    parts.status.refresh();
    // The details read ahead were for the old top row; the supervisor reads the new one's.
    parts.player.invalidateNext();
  }
  return added;
}

int32_t playAtOnceCommand(const engine::SharedWords& words) {
  return words.playing.load() != 0 ? engine::kCommandSkip : engine::kCommandPlay;
}

}  // namespace tunora::ui

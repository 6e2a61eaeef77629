// Loading a playlist file into the play list.
#include "media/playlist_load.h"

#include "media/playlist_file.h"
#include "media/record_fields.h"
#include "media/tag_reader.h"

namespace tunora::media {

std::optional<LoadedRow> listRowOf(const std::string& path, marlbase::TableHandle* table,
                                   const ListLoadOptions& options) {
  const bool look_up =
      table != nullptr && table->isOpen() && table->liveCount() > kLookUpAboveSongs;
  const std::string type(mediaClassText(classifyMediaFile(path, options.switches)));
  if (look_up) {
    const int32_t slot = findSongInTable(*table, path);
    if (slot >= 0) {
      // A record with a status above 10 is neither live nor deleted: it is skipped as well.
      if (table->getStatus(slot) != 10) return std::nullopt;
      RecordFields fields = loadRecordFields(*table, slot, options.user);
      return LoadedRow{std::move(fields.title), std::move(fields.artist), std::move(fields.album),
                       path, type};
    }
    if (deletedSongHasPath(*table, path)) return std::nullopt;
  }
  TagRecord tags;
  if (!readTags(path, tags)) return std::nullopt;
  return LoadedRow{std::move(tags.title), std::move(tags.artist), std::move(tags.album), path,
                   type};
}

Status loadListFile(const std::string& list_path, marlbase::TableHandle* table,
                    const ListLoadOptions& options, const LoadedRowFn& on_row,
                    ListLoadResult* result) {
  ListLoadResult counts;
  auto on_line = [&](const std::string& path) {
    std::optional<LoadedRow> row = listRowOf(path, table, options);
    if (!row) {
      ++counts.skipped;
      return;
    }
    on_row(std::move(*row));
    ++counts.rows;
  };
  Status status = readListFile(list_path, on_line, options.abort);
  if (result != nullptr) *result = counts;
  return status;
}

}  // namespace tunora::media

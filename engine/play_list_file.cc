// The play list and its files.
#include "engine/play_list_file.h"

#include "media/playlist_file.h"
#include "media/playlist_load.h"
#include "media/settings_adaptor.h"

namespace tunora::engine {

std::vector<std::string> playListPaths(const PlayList& play_list) {
  std::vector<std::string> paths;
  for (const PlayListRow& row : play_list.rows()) paths.push_back(row[kFileNameColumn]);
  return paths;
}

Status writePlayListFile(const PlayList& play_list, const std::string& path) {
  return media::writePlayList(path, playListPaths(play_list));
}

Status loadPlayListFile(PlayList& play_list, const std::string& list_path,
                        marlbase::TableHandle& table, const Settings& settings) {
  media::ListLoadOptions options;
  options.user = settings.stateValue(settings::kStateUser);
  options.switches = media::mediaSwitchesOf(settings);
  return media::loadListFile(list_path, &table, options, [&](media::LoadedRow row) {
    play_list.append({std::move(row[0]), std::move(row[1]), std::move(row[2]), std::move(row[3]),
                      std::move(row[4])});
  });
}

bool loadStatePlayList(LibraryAccess& library, const Settings& settings, PlayList& play_list,
                       const std::string& data_dir, const ResumePoint* resume,
                       bool* resume_on_top) {
  if (resume_on_top != nullptr) *resume_on_top = false;
  library.openLibraryForReading();
  marlbase::TableHandle& table = library.table();
  if (!table.isOpen()) return false;
  const int32_t state = settings.get(settings::kCurrentState);
  // A missing file is the usual case for a state never used: the list stays as it is.
  (void)loadPlayListFile(play_list, media::playListFileName(data_dir, state), table, settings);
  if (resume != nullptr && resume->state == state) {
    const std::optional<PlayListRow> top = play_list.row(0);
    bool on_top = top && (*top)[kFileNameColumn] == resume->path;
    if (!on_top) {
      // Read as a line of the list file would be: a song gone from the library is not put back.
      media::ListLoadOptions options;
      options.user = settings.stateValue(settings::kStateUser);
      options.switches = media::mediaSwitchesOf(settings);
      if (std::optional<media::LoadedRow> row = media::listRowOf(resume->path, &table, options)) {
        play_list.insertAtTop({std::move((*row)[0]), std::move((*row)[1]), std::move((*row)[2]),
                               std::move((*row)[3]), std::move((*row)[4])});
        on_top = true;
      }
    }
    if (resume_on_top != nullptr) *resume_on_top = on_top;
  }
  table.close();
  return true;
}

}  // namespace tunora::engine

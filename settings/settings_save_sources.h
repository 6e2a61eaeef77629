// What a save of the settings needs from the running program besides the record: the main
// window's placement and column widths, and the play list. The window code implements these;
// tests and tools pass fakes or nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tunora {

// The "Quit but do not save playlist" marker of the prepared-songs count: the state's play-list
// file is left as it was.
inline constexpr int32_t kDoNotSavePlayList = 9999;

class WindowStateSource {
 public:
  virtual ~WindowStateSource() = default;
  // The main window's placement (the eleven words of `WindowPlacement`), or nullopt while the
  // window is hidden in the tray, which keeps the placement saved before.
  virtual std::optional<std::array<int32_t, 11>> windowPlacement() = 0;
  // The widths of the play list's five columns.
  virtual std::array<int32_t, 5> columnWidths() = 0;
};

class PlayListStore {
 public:
  virtual ~PlayListStore() = default;
  // The number of songs prepared on the play list, or kDoNotSavePlayList.
  virtual int32_t preparedCount() = 0;
  // Writes the play list to the file at `path`. False on failure (ignored by the save).
  virtual bool writePlayList(const std::string& path) = 0;
};

struct SaveSources {
  WindowStateSource* window = nullptr;  // null: placement and widths stay as they are
  PlayListStore* play_list = nullptr;   // null: the state's play-list file is left alone
};

}  // namespace tunora

// What the command table asks of the window itself: dialogs, the toolbar image, minimizing,
// repainting, destroying. The Qt window implements it; every call arrives on the window thread
// (the command dispatcher runs there) and none of them may wait for the database lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tunora::ui {

enum class WindowDialog { kSearch, kDatabase, kOptions, kSongDetails, kAbout };

enum class SearchMode {
  kPrompt,      // command 7: ask for the text
  kArtist,      // commands 2024 and 2033: the given artist's songs
  kTopSongs,    // 2029
  kWorstSongs,  // 2034
};

// The Rate keypad's "D" button (command 1213 less 1200).
inline constexpr int32_t kRateDelete = 13;

class WindowActions {
 public:
  virtual ~WindowActions() = default;

  // Whether the dialog is open now.
  virtual bool dialogOpen(WindowDialog dialog) = 0;
  // Opens the search window (modeless). `artist` is set for SearchMode::kArtist.
  virtual void openSearch(SearchMode mode, const std::string& artist) = 0;
  virtual void openDatabaseDialog() = 0;
  virtual void openOptionsDialog() = 0;
  // The Song details dialog on a library record.
  virtual void openSongDetails(int32_t record) = 0;
  virtual void openAbout() = 0;
  // The Rate keypad, modal: 0..10 or kRateDelete, nullopt for "Cancel".
  virtual std::optional<int32_t> showRateKeypad() = 0;
  // Starts this program again as the media filler (argument "\f", the program directory as the
  // working directory).
  virtual void launchFiller() = 0;

  virtual void setPlayButtonImage(int32_t image) = 0;
  virtual void minimize() = 0;
  virtual void showMaximized() = 0;
  // Makes the window stay on top of others, or not.
  virtual void applyOnTop(bool on_top) = 0;
  // Repaints the whole window (display, list, status).
  virtual void repaintAll() = 0;
  // Destroys the window: the settings are saved, the tray icon removed, the event loop ends.
  virtual void destroyWindow() = 0;

  // Runs the switch to listening state 0..9 (engine::StateSwitcher::switchState) on a thread of
  // its own: it waits for the database lock.
  virtual void startStateSwitch(int32_t state) = 0;
  // The play list's focused row, -1 when none.
  virtual int32_t focusedRow() = 0;
};

}  // namespace tunora::ui

// The request executor's work for the main window's requests: the play-list actions (double-
// click, "Clear List", "Remove", "Play Now", "Play Next", "Save As Playlist"), "Details" of a
// row, the Rate keypad's result and the welcome dialog's way to the Database functions dialog.
// Each runs on the executor's thread with the executor's grant held, so nothing else changes the
// play list or opens the library meanwhile.
//
// The row a request works on is the play list's focused row when the request runs (the list
// keeps its focus on the same song while rows above it go). Parameters: request 3 the clicked
// row k (the top k rows go), requests 4 and 5 the number of rows to drop, request 2 the keypad's
// button (0..10, or kRateButtonDelete for "D").
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/request_executor.h"
#include "engine/shared_lock.h"
#include "engine/status_message.h"
#include "engine/window_channel.h"
#include "platform/message_dialog.h"
#include "settings/settings.h"

namespace tunora::engine {

inline constexpr int32_t kRateButtonDelete = 13;  // "D": command 1213 less 1200

inline constexpr char kDeleteSongQuestion[] = "This will delete the song and it cannot be undone.";
inline constexpr char kDeleteSongYes[] = "Sure, delete please";
inline constexpr char kDeleteSongNo[] = "No, don't delete";
inline constexpr char kNotInLibraryNotice[] =
    "This song is not in the library, so it has no details:";
inline constexpr char kLibraryClosedNotice[] = "The library cannot be opened now.";
inline constexpr char kSaveListProposedName[] = "PL1.m3u";
inline constexpr int32_t kFilterPlaylists = 2;

// What the work needs of the main window besides its command channel and the message dialog. Called
// on the executor's thread; the window marshals to its own.
class ExecutorWindow {
 public:
  virtual ~ExecutorWindow() = default;
  // The play list's focused row, -1 when none.
  virtual int32_t focusedRow() = 0;
  // The file dialog (modal) with the proposed name and filter index (1 "Tunora Files",
  // 2 "Playlists", 3 "MarlBase", 4 "All Files"): the chosen full path, nullopt when cancelled.
  virtual std::optional<std::string> chooseFile(const std::string& proposed, int32_t filter,
                                                bool save) = 0;
  // Repaints the whole window (after a rating changed the stars).
  virtual void repaint() = 0;
  // Scrolls the play list so that row 0 shows (after a double-click dropped the rows above).
  virtual void scrollToTop() = 0;
};

// The player's current song as the requests see it. Any thread.
class CurrentSong {
 public:
  virtual ~CurrentSong() = default;
  // The current record number; 0 when none is known.
  virtual int32_t currentRecord() = 0;
  virtual void setCurrentRecord(int32_t slot) = 0;
  // The path of the song playing (or last played).
  virtual std::string currentPath() = 0;
  // The score the display shows for the current song.
  virtual void setDisplayedScore(uint32_t score) = 0;
  // Asks the player to play the current record next instead of the top row.
  virtual void setPlayChosenSong() = 0;
};

struct ExecutorParts {
  SharedLock& lock;
  LibraryAccess& library;
  Settings& settings;
  PlayList& play_list;
  StatusMessage& status;
  WindowChannel& commands;
  ExecutorWindow& window;
  ui::MessageDialog& dialog;  // the delete question and the notices
  CurrentSong& song;
  int32_t fixed_user;  // the installation's fixed user, or 999 for none
  // Network mode's local-copy change counter (100 after a rating); may be empty.
  std::function<void(int32_t)> set_change_counter;
};

class ExecutorWork {
 public:
  explicit ExecutorWork(ExecutorParts parts) : p_(std::move(parts)) {}

  // Registers the work for codes 1, 2, 3, 4, 5, 10, 11, 12, 13 and 14. The executor must not
  // outlive this object.
  void registerInto(RequestExecutor& executor);

  void openDetailsOfRow();              // 1
  void storeRating(int32_t button);     // 2
  void dropRowsAndPlay(int32_t k);      // 3
  void dropRows(int32_t count);         // 4
  void dropRowsAndNext(int32_t count);  // 5
  void removeRow();                     // 10
  void saveAsPlaylist();                // 11
  void playRowNow();                    // 12
  void openDatabaseDialog();            // 13
  void moveRowToTop();                  // 14

 private:
  // The slot of the focused row's record (-1 when none), and the row.
  struct RowRecord {
    int32_t row = -1;
    std::optional<PlayListRow> texts;
    int32_t slot = -1;
    bool library_open = false;
  };
  RowRecord lookUpFocusedRow();
  int32_t rateUser() const;

  ExecutorParts p_;
};

}  // namespace tunora::engine

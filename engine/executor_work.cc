// The request executor's work for the main window's requests.
#include "engine/executor_work.h"

#include <chrono>

#include "engine/lock_codes.h"
#include "engine/play_list_file.h"
#include "library/song_columns.h"
#include "library/song_deletion.h"
#include "media/record_fields.h"
#include "settings/fixed_user.h"

namespace tunora::engine {

namespace {

constexpr int32_t kStatusLive = 10;
constexpr int32_t kPlayerPlay = 1;
constexpr int32_t kRatingChangeCounter = 100;

}  // namespace

void ExecutorWork::registerInto(RequestExecutor& executor) {
  executor.setHandler(kCodeOpenDetailsOfRow, [this](int32_t) { openDetailsOfRow(); });
  executor.setHandler(kCodeStoreRating, [this](int32_t button) { storeRating(button); });
  executor.setHandler(kCodeDropRowsAndPlay, [this](int32_t k) { dropRowsAndPlay(k); });
  executor.setHandler(kCodeClearList, [this](int32_t count) { dropRows(count); });
  executor.setHandler(kCodeClearListAndSkip, [this](int32_t count) { dropRowsAndNext(count); });
  executor.setHandler(kCodeRemoveRow, [this](int32_t) { removeRow(); });
  executor.setHandler(kCodeSaveAsPlaylist, [this](int32_t) { saveAsPlaylist(); });
  executor.setHandler(kCodePlayRowNow, [this](int32_t) { playRowNow(); });
  executor.setHandler(kCodeOpenDatabaseDialog, [this](int32_t) { openDatabaseDialog(); });
  executor.setHandler(kCodeMoveRowToTop, [this](int32_t) { moveRowToTop(); });
}

ExecutorWork::RowRecord ExecutorWork::lookUpFocusedRow() {
  RowRecord found;
  found.row = p_.window.focusedRow();
  found.texts = p_.play_list.row(found.row);
  if (!found.texts) return found;
  p_.library.openLibraryForReading();
  marlbase::TableHandle& table = p_.library.table();
  if (!table.isOpen()) return found;
  found.library_open = true;
  found.slot = media::findSongInTable(table, (*found.texts)[kFileNameColumn]);
  table.close();
  return found;
}

int32_t ExecutorWork::rateUser() const {
  if (p_.fixed_user != kNoFixedUser) return p_.fixed_user;
  return p_.settings.stateValue(settings::kStateUser);
}

void ExecutorWork::openDetailsOfRow() {
  RowRecord found = lookUpFocusedRow();
  if (!found.texts) return;
  if (found.slot >= 0) {
    p_.commands.postCommand(kCommandOpenDetails, found.slot);
  } else if (!found.library_open) {
    ui::tell(p_.dialog, kLibraryClosedNotice);
  } else {
    // No record, so no details dialog: say why instead.
    ui::tell(p_.dialog, std::string(kNotInLibraryNotice) + "\n" + (*found.texts)[kFileNameColumn]);
  }
}

void ExecutorWork::storeRating(int32_t button) {
  const bool delete_button = button == kRateButtonDelete;
  if (!delete_button && (button < 0 || button > 10)) return;
  if (!p_.library.openLibraryForWriting()) return;
  marlbase::TableHandle& table = p_.library.table();
  int32_t slot = p_.song.currentRecord();
  if (slot == 0) slot = media::findSongInTable(table, p_.song.currentPath());
  if (slot > 0 && table.getStatus(slot) == kStatusLive) {
    if (delete_button && p_.fixed_user == kNoFixedUser) {
      // The record goes; the file stays where it is.
      if (ui::ask(p_.dialog, kDeleteSongQuestion, kDeleteSongYes, kDeleteSongNo) ==
          ui::kFirstButton) {
        (void)deleteSongRecord(table, slot);
      }
    } else {
      // "D" under a fixed user counts as a number outside 1..10: a score of 0.
      const uint32_t score = (button >= 1 && button <= 10)
                                 ? static_cast<uint32_t>(p_.settings.get(
                                       settings::kRatingValue, static_cast<uint32_t>(button - 1)))
                                 : 0;
      p_.song.setDisplayedScore(score);
      (void)table.writeInt(slot, ratingColumn(rateUser()), score);
      if (p_.set_change_counter) p_.set_change_counter(kRatingChangeCounter);
      p_.window.repaint();
    }
  }
  p_.library.closeLibraryAfterWriting();
}

void ExecutorWork::dropRowsAndPlay(int32_t k) {
  if (k > 0) p_.play_list.removeFirst(k);
  // The clicked song is row 0 now: a list scrolled far down shows it again.
  p_.window.scrollToTop();
  if (p_.lock.words().playing.load() != 0) {
    p_.lock.words().player_request.store(kPlayerPlay);
  } else {
    p_.commands.postCommand(kCommandPlay, 0);
  }
}

void ExecutorWork::dropRows(int32_t count) {
  if (count > 0) p_.play_list.removeFirst(count);
}

void ExecutorWork::dropRowsAndNext(int32_t count) {
  dropRows(count);
  if (p_.lock.words().playing.load() != 0) p_.lock.words().player_request.store(kPlayerPlay);
}

void ExecutorWork::removeRow() {
  if (p_.play_list.removeRow(p_.window.focusedRow())) p_.status.refresh();
}

void ExecutorWork::saveAsPlaylist() {
  std::optional<std::string> path =
      p_.window.chooseFile(kSaveListProposedName, kFilterPlaylists, /*save=*/true);
  // A list that cannot be written leaves nothing behind and is not reported.
  if (path) (void)writePlayListFile(p_.play_list, *path);
}

void ExecutorWork::playRowNow() {
  RowRecord found = lookUpFocusedRow();
  if (found.slot < 0) return;
  p_.song.setCurrentRecord(found.slot);
  p_.song.setPlayChosenSong();
  p_.lock.words().player_request.store(kPlayerPlay);
}

void ExecutorWork::openDatabaseDialog() {
  p_.lock.env().sleepFor(std::chrono::milliseconds(1000));
  p_.commands.postCommand(kCommandDatabaseDialog, 0);
}

void ExecutorWork::moveRowToTop() {
  RowRecord found = lookUpFocusedRow();
  if (found.slot < 0) return;
  // The copy goes on top first, so the count never dips; the old row is then one lower.
  p_.play_list.insertAtTop(*found.texts);
  p_.play_list.removeRow(found.row + 1);
}

}  // namespace tunora::engine

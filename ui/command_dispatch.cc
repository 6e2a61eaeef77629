// The main window's command table.
#include "ui/command_dispatch.h"

#include <algorithm>

#include "engine/lock_codes.h"
#include "engine/quit_request.h"
#include "network/network_commands.h"
#include "player/player.h"
#include "ui/command_numbers.h"

namespace tunora::ui {

namespace {
constexpr int32_t kUsers = 10;
constexpr int32_t kAltModes = 10;
constexpr int32_t kStates = 10;
}  // namespace

bool CommandDispatcher::playing() const { return p_.lock.words().playing.load() != 0; }

// The window never waits for the lock: a request that finds it busy is kept and posted by the
// supervisor once the lock is free.
void CommandDispatcher::request(int32_t code, int32_t parameter) {
  (void)p_.lock.postOrDefer(code, parameter);
}

void CommandDispatcher::play() {
  engine::SharedWords& words = p_.lock.words();
  if (playing()) {
    words.player_request.store(player::kRequestPause);
    return;
  }
  if (p_.play_list.size() == 0) {
    int32_t build = words.build_request.load();
    // Idle, or offline and counting back (not locked offline): build now.
    while ((build == engine::kBuildIdle ||
            (build > engine::kOfflineStart && build < engine::kOfflineLocked)) &&
           !words.build_request.compare_exchange_weak(build, engine::kBuildNow)) {
    }
  }
  words.player_request.store(player::kRequestPlay);
  if (p_.settings.get(settings::kAutoMini) != 0) p_.window.minimize();
  p_.window.setPlayButtonImage(kPauseButtonImage);
}

void CommandDispatcher::rate() {
  engine::SharedWords& words = p_.lock.words();
  if (words.request.load() != 0) return;  // only while the shared lock is free
  if (p_.settings.stateValue(settings::kStateAltMode) != 0) {
    const int32_t record = p_.player.current().slot;
    if (record >= 0 && !p_.window.dialogOpen(WindowDialog::kSongDetails)) {
      p_.window.openSongDetails(record);
    }
    return;
  }
  if (words.build_request.load() >= engine::kOfflineStart) {
    showError(p_.dialog, kOfflineRateMessage);
    return;
  }
  const std::optional<int32_t> button = p_.window.showRateKeypad();
  if (button) request(engine::kCodeStoreRating, *button);
}

void CommandDispatcher::search(SearchMode mode, const std::string& artist) {
  if (p_.window.dialogOpen(WindowDialog::kSearch)) return;
  p_.window.openSearch(mode, artist);
}

void CommandDispatcher::setView(int32_t view) {
  if (p_.window_state.view_target_lower_left.load() != 0) {
    p_.settings.set(settings::kLowerLeftView, view);
  } else {
    p_.settings.set(settings::kUpperRightView, view);
  }
  if (p_.settings.get(settings::kLowerLeftView) != 0) {
    p_.settings.set(settings::kUpperRightView, kViewCover);
  }
  p_.window_state.quick_links.markForReload();
  p_.window_state.cover.markForReload();
}

void CommandDispatcher::closeRequested() {
  engine::handleCloseRequest(p_.lock, p_.channel, p_.status);
}

void CommandDispatcher::rowDoubleClicked(int32_t row) {
  if (row >= 0) request(engine::kCodeDropRowsAndPlay, row);
}

bool CommandDispatcher::sliderMoved(int32_t position) {
  engine::SharedWords& words = p_.lock.words();
  position = std::clamp(position, 0, player::kSliderRange);
  if (words.player_request.load() != 0 || p_.player.seek_target.load() != 0) return false;
  const int64_t target = p_.player.length.load() * position / player::kSliderRange;
  p_.player.seek_target.store(target);
  int32_t expected = 0;
  if (!words.player_request.compare_exchange_strong(expected, player::kRequestSeek)) {
    p_.player.seek_target.store(0);
    return false;
  }
  return true;
}

CommandOutcome CommandDispatcher::dispatch(int32_t command, int32_t parameter) {
  engine::SharedWords& words = p_.lock.words();
  switch (command) {
    case kCmdPlay:
      play();
      break;
    case kCmdStop:
      words.player_request.store(player::kRequestStop);
      break;
    case kCmdRestart:
      words.player_request.store(player::kRequestRestart);
      break;
    case kCmdPlayLast:
    case kCmdPlayBack:
      words.player_request.store(player::kRequestBack);
      break;
    case kCmdSkip:
      if (playing()) words.player_request.store(player::kRequestSkip);
      break;
    case kCmdRate:
      rate();
      break;
    case kCmdSearch:
      search(SearchMode::kPrompt, "");
      break;
    case kCmdArtistOfSong:
      search(SearchMode::kArtist, p_.player.current().artist);
      break;
    case kCmdArtistOfRow: {
      const std::optional<engine::PlayListRow> row = p_.play_list.row(p_.window.focusedRow());
      if (row) search(SearchMode::kArtist, (*row)[1]);
      break;
    }
    case kCmdTopSongs:
      search(SearchMode::kTopSongs, "");
      break;
    case kCmdWorstSongs:
      search(SearchMode::kWorstSongs, "");
      break;
    case kCmdDatabaseDialog:
      if (!p_.window.dialogOpen(WindowDialog::kDatabase)) p_.window.openDatabaseDialog();
      break;
    case kCmdOptions:
      if (!p_.window.dialogOpen(WindowDialog::kOptions)) p_.window.openOptionsDialog();
      break;
    case kCmdHelp:
      p_.dialog.openReadMe();
      break;
    case kCmdCurrentDetails: {
      const int32_t record = p_.player.current().slot;
      if (record >= 0 && !p_.window.dialogOpen(WindowDialog::kSongDetails)) {
        p_.window.openSongDetails(record);
      }
      break;
    }
    case kCmdDetailsOfRecord:
      if (parameter >= 0 && !p_.window.dialogOpen(WindowDialog::kSongDetails)) {
        p_.window.openSongDetails(parameter);
      }
      break;
    case kCmdRowDetails:
      if (!p_.window.dialogOpen(WindowDialog::kSongDetails)) {
        request(engine::kCodeOpenDetailsOfRow);
      }
      break;
    case kCmdRemoveRow:
      request(engine::kCodeRemoveRow);
      break;
    case kCmdSaveAsPlaylist:
      request(engine::kCodeSaveAsPlaylist);
      break;
    case kCmdPlayNow:
      request(engine::kCodePlayRowNow);
      break;
    case kCmdPlayNext:
      request(engine::kCodeMoveRowToTop);
      break;
    case kCmdClearList:
      request(engine::kCodeClearList, p_.play_list.songsPrepared());
      break;
    case kCmdBuildNow:
      words.build_request.store(engine::kBuildNow);
      break;
    case kCmdStopBuilding:
      words.abort.store(1);
      break;
    case kCmdQuitWithoutSaving:
      p_.play_list.markDoNotSave();
      closeRequested();
      break;
    case kCmdExit:
      // The tray's "Exit" quits exactly as the close button does. It could instead clear the
      // grant word when a quit is asked for while the executor works, but that would take the
      // lock from a thread still writing the table; waiting for it, and letting a second Exit
      // stop a running build as a second close does, loses nothing.
      closeRequested();
      break;
    case kCmdFinishQuit:
      words.player_request.store(player::kRequestStop);
      p_.window.destroyWindow();
      break;
    case kCmdRefreshNetworkCache:
      network::refreshNetworkCache(p_.context);
      break;
    case kCmdLockOffline:
      network::lockOfflineMode(words, p_.status);
      break;
    case kCmdSetOffline:
      if (words.build_request.load() >= engine::kOfflineStart) {
        network::unsetOfflineMode(words, p_.status);
      } else {
        network::setOfflineMode(words, p_.status);
      }
      break;
    case kCmdWriteCachedEdits:
      (void)network::writeCachedEdits(words, p_.writer, p_.queue);
      break;
    case kCmdOpenFiller:
      p_.window.launchFiller();
      break;
    case kCmdLowerLeftNothing:
      p_.settings.set(settings::kLowerLeftView, kViewNothing);
      p_.window_state.quick_links.markForReload();
      p_.window_state.cover.markForReload();
      p_.window.repaintAll();
      break;
    case kCmdOnTopToggle: {
      const bool on_top = p_.settings.get(settings::kOnTop) == 0;
      p_.settings.set(settings::kOnTop, on_top ? 1 : 0);
      p_.window.applyOnTop(on_top);
      break;
    }
    case kCmdShowMaximized:
      p_.window.showMaximized();
      break;
    case kCmdAbout:
    case kCmdAboutToo:
      if (!p_.window.dialogOpen(WindowDialog::kAbout)) p_.window.openAbout();
      break;
    case kCmdTestFunctions:
      words.test_functions.store(words.test_functions.load() != 0 ? 0 : 1);
      p_.status.refresh();
      break;
    default: {
      const auto state = static_cast<uint32_t>(p_.settings.get(settings::kCurrentState));
      const int32_t view = command - kCmdViewBase;
      if (view == kViewCover || view == kViewDisc || isListView(view)) {
        setView(view);
      } else if (command >= kCmdUserBase && command < kCmdUserBase + kUsers) {
        p_.settings.set(settings::kStateUser, state, command - kCmdUserBase);
        p_.status.refresh();
      } else if (command >= kCmdModeBase && command < kCmdModeBase + kAltModes) {
        p_.settings.set(settings::kStateAltMode, state, command - kCmdModeBase);
        p_.status.refresh();
      } else if (command >= kCmdStateBase && command < kCmdStateBase + kStates) {
        p_.window.startStateSwitch(command - kCmdStateBase);
      } else {
        return CommandOutcome::kUnknown;
      }
      break;
    }
  }
  return CommandOutcome::kHandled;
}

}  // namespace tunora::ui

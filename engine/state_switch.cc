// switchState.
#include "engine/state_switch.h"

#include "engine/lock_codes.h"
#include "engine/play_list_file.h"
#include "media/playlist_file.h"

namespace tunora::engine {

namespace {

constexpr int32_t kSwitchPatience = 10;

void storeControls(Settings& settings, uint32_t state, const PerStateControls& values) {
  settings.set(settings::kStateNaughtyLimit, state, values.naughty_limit);
  settings.set(settings::kStateMinRating, state, values.min_rating);
  settings.set(settings::kStateNoArtRep, state, values.no_art_rep);
  settings.set(settings::kStateHistory, state, values.history);
}

PerStateControls controlsOf(const Settings& settings, uint32_t state) {
  return {settings.get(settings::kStateNaughtyLimit, state),
          settings.get(settings::kStateMinRating, state),
          settings.get(settings::kStateNoArtRep, state),
          settings.get(settings::kStateHistory, state)};
}

}  // namespace

StateSwitcher::StateSwitcher(SharedLock& lock, LibraryAccess& library, Settings& settings,
                             PlayList& play_list, StatusMessage& status, StateSwitchHooks* hooks)
    : lock_(lock),
      library_(library),
      settings_(settings),
      play_list_(play_list),
      status_(status),
      hooks_(hooks) {}

SwitchResult StateSwitcher::switchState(int32_t state, StateControls* dialog) {
  if (state == settings_.get(settings::kCurrentState)) return SwitchResult::kSameState;
  if (state < 0 || state >= static_cast<int32_t>(settings::kStates)) return SwitchResult::kBadState;
  Grant grant = lock_.requestAndWait(kCodeStateSwitch, 0, kSwitchPatience);
  if (!grant) return SwitchResult::kLockRefused;
  switchUnderGrant(state, dialog);
  return SwitchResult::kSwitched;
}

void StateSwitcher::switchUnderGrant(int32_t state, StateControls* dialog) {
  const int32_t old_state = settings_.get(settings::kCurrentState);
  if (dialog != nullptr) storeControls(settings_, static_cast<uint32_t>(old_state), dialog->read());
  // A list that cannot be saved is lost with the switch, as at a quit: nothing to report it to.
  // A state number out of range (a damaged settings file) has no file of its own.
  if (old_state >= 0 && old_state < static_cast<int32_t>(settings::kStates)) {
    (void)writePlayListFile(play_list_, media::playListFileName(data_dir_, old_state));
  }

  settings_.set(settings::kCurrentState, state);
  if (dialog != nullptr) dialog->show(controlsOf(settings_, static_cast<uint32_t>(state)));

  play_list_.removeFirst(play_list_.size());
  if (loadStatePlayList(library_, settings_, play_list_, data_dir_)) {
    marker_.store(0);
  } else {
    marker_.store(kSwitchLibraryUnavailable);
  }

  status_.refresh();
  if (hooks_ != nullptr && settings_.get(settings::kNetwork) != 0) hooks_->restartBuffering();
}

}  // namespace tunora::engine

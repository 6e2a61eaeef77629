// Loading a song's details by its path, ahead of its turn or during the switch.
#include "player/details_loader.h"

#include <algorithm>
#include <filesystem>

#include "engine/lock_codes.h"
#include "library/song_columns.h"

namespace tunora::player {

int32_t DetailsLoader::findSongByPath(const std::string& path, int32_t user, SongDetails& details) {
  bool final = false;
  return lookUp(path, user, details, final);
}

int32_t DetailsLoader::lookUp(const std::string& path, int32_t user, SongDetails& details,
                              bool& final) {
  final = false;
  if (lookup_busy_.exchange(1) != 0) return -1;
  int32_t slot = -1;
  library_.openLibraryForReading();
  marlbase::TableHandle& table = library_.table();
  engine::SharedWords& words = lock_.words();
  if (table.isOpen()) {
    final = true;
    if (words.library_missing.exchange(0) != 0 && refresh_status_) refresh_status_();
    table.setSearchKey(path);
    slot = table.findInColumn(kColFileName);
    if (slot >= 0 && !loadRecordFields(table, slot, user, details)) slot = -1;
    table.close();
  } else {
    // Gone, not busy: a library whose file (or folder) is not there does not come back by
    // waiting, and the switch that waits for it plays nothing meanwhile.
    std::error_code ec;
    const std::string& file = table.path();
    if (!file.empty() && !std::filesystem::exists(file, ec) && !ec) {
      final = true;
      if (words.library_missing.exchange(1) == 0 && refresh_status_) refresh_status_();
    }
  }
  lookup_busy_.store(0);
  return slot;
}

bool DetailsLoader::quitting() const {
  const engine::SharedWords& words = lock_.words();
  return words.stopping.load() != 0 || engine::isQuitCode(words.request.load());
}

bool DetailsLoader::waitBeforeRetry() {
  for (auto waited = std::chrono::milliseconds(0); waited < kLookupRetryWait;
       waited += kLookupWaitStep) {
    if (quitting()) return false;
    env_.sleepFor(kLookupWaitStep);
  }
  return !quitting();
}

SongDetails DetailsLoader::lookUpWithRetries(const std::string& path) {
  const int32_t user = settings_.stateValue(settings::kStateUser);
  SongDetails details;
  for (int32_t attempt = 0; attempt < kLookupTries; ++attempt) {
    if (attempt >= 3 && !waitBeforeRetry()) break;
    if (quitting()) break;
    bool final = false;
    if (lookUp(path, user, details, final) >= 0) return details;
    if (final) break;  // asking again changes nothing
  }
  return SongDetails{};
}

// Whether the call is the player's is said by the caller rather than read from the grant word,
// so a loader started just before the player took its grant does not mistake itself for it. The
// player's call does not take the busy flag: a loader reading ahead can only be waiting for its
// grant while the player holds grant 20, and the player must not switch without the new song's
// details.
int32_t DetailsLoader::loadSongDetails(bool for_player) {
  std::string path;
  engine::Grant grant;
  if (for_player) {
    path = state_.playPath();
  } else {
    if (busy_.exchange(1) != 0) return -1;
    if (auto row = play_list_.row(0)) path = (*row)[engine::kFileNameColumn];
    grant = lock_.requestAndWait(engine::kCodeDetailsLoader, 0, 5);
    if (!grant) {
      busy_.store(0);
      return -1;
    }
  }
  SongDetails details = lookUpWithRetries(path);
  const uint32_t file_id = details.file_id;
  if (for_player) {
    state_.setCurrent(std::move(details));
  } else {
    state_.setNext(NextSong{path, std::move(details), true});
  }
  if (file_id == 0) {
    (void)settings_.update(settings::kHashStat,
                           [](int32_t value) { return std::max(0, value - 10); });
  }
  if (!for_player) {
    grant.release();
    busy_.store(0);
  }
  return 1;
}

bool DetailsLoader::wanted() const {
  return !state_.next().valid && !busy() && play_list_.songsPrepared() > 3;
}

}  // namespace tunora::player

// Switching songs: requests 1 (next, or resume after a pause), 4 (skip) and 8 (back). The
// player takes grant 20, chooses the song (the list top, the back stack's first place or a
// chosen slot), opens it in the media window, starts it and removes its row from the list.
#include <filesystem>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "media/media_type.h"
#include "media/settings_adaptor.h"
#include "media/tag_reader.h"
#include "player/back_stack.h"
#include "player/player.h"

namespace tunora::player {

// The video area: half the main window's client area when it is wider than 400, else 400 x 400.
ui::VideoArea Player::videoArea(PlayerWindow& window) {
  const int32_t width = window.clientWidth();
  if (width > 400) return {0, 0, width / 2, window.clientHeight() / 2};
  return {0, 0, 400, 400};
}

void Player::switchSong(int32_t request) {
  if (request == kRequestSkip) rateCurrent(0);
  words_.playing.store(1);
  state_.position.store(-1);
  closeMedia();

  engine::Grant grant = takeFreeGrant();
  std::string early;  // the next list song, started while a worker holds the lock
  if (!grant) {
    early = startPreparedEarly(request);
    grant = lock_.requestAndWait(engine::kCodePlayer, 0, 2);
  }
  if (!grant) {
    if (!early.empty()) closeMedia();
    // Tried again on a later pass, unless a newer request came meanwhile.
    int32_t expected = 0;
    words_.player_request.compare_exchange_strong(expected, request);
    return;
  }
  const int32_t build = words_.build_request.load();
  if (build >= 1 && build <= 999) words_.build_request.store(engine::kBuildNow);

  const bool resuming = state_.resume_position.load() != 0;
  bool by_choice = false;
  if (!resuming) chooseSong(request, by_choice);

  const std::string play_path = state_.playPath();
  // The song left off at the last quit starts where it stopped when the list brings it.
  int64_t start_at = 0;
  if (!resuming && !by_choice && request != kRequestBack) {
    const std::optional<SongPlace> place = state_.takeStartPlace();
    if (place && place->path == play_path) start_at = place->position_ms;
  }
  const std::string file = files_.fileToOpen(play_path);
  video_area_ = videoArea(window_);
  // Unless read ahead, the details are loaded now, under this grant.
  if (!resuming && !state_.takeNextAsCurrent()) (void)loader_.loadSongDetails(true);

  const bool started_early = !early.empty() && early == file && media_.isOpen();
  if (!early.empty() && !started_early) closeMedia();  // the list changed while it waited
  bool opened = started_early ? noteOpened() : openMedia(file);
  if (!opened && files_.retryAtLibraryPath() &&
      words_.build_request.load() < engine::kOfflineStart) {
    files_.noteUnbuffered();
    opened = openMedia(play_path);
  }
  opened_ = opened;
  prepared_.clear();
  state_.setOutputProblem(opened ? media_.outputProblem() : std::string());
  media_.moveAndSize({kOffScreen, kOffScreen, video_area_.width, video_area_.height});
  if (!started_early) startPlaying(resuming, start_at);

  if (!resuming && !by_choice && request != kRequestBack) play_list_.removeFirst(1);
  grant.release();
  // The tag's track number and genre, which the library does not keep (read once the song
  // plays, outside the grant).
  if (!resuming) {
    media::TagRecord tags;
    (void)media::readTags(file, tags);
    state_.setTags({play_path, tags.track_number, tags.genre_name});
  }

  if (isVideo()) {
    state_.video_shown.store(1);
    window_.repaintWithVideo();
  } else {
    window_.repaintSongText();
  }
  state_.resume_position.store(0);
  window_.setSliderPosition(0);
}

// With the lock free, the player takes grant 20 at once: a switch then waits neither for the
// supervisor's next tick nor for the executor, and a worker's request waiting in the request
// word is handed over as soon as the switch lets go (the player holds the lock for
// milliseconds). While the lock is held or a quit is asked for, the player asks as every worker
// does (switchSong).
engine::Grant Player::takeFreeGrant() {
  if (engine::isQuitCode(words_.request.load()) || words_.grant.load() != 0) return {};
  return lock_.takeGrantDirectly(engine::kCodePlayer);
}

// While a worker holds the lock, the next list song need not wait in silence: when it is an
// audio song whose details were read ahead, it starts now from its start point (at once when it
// was prepared). The switch then finishes under the grant as usual and keeps it playing when the
// list top is still that song. Returns the file started; empty when none was.
std::string Player::startPreparedEarly(int32_t request) {
  if (request == kRequestBack || state_.resume_position.load() != 0 ||
      state_.play_chosen.load() != 0 || state_.startPlace()) {
    return "";
  }
  std::string path;
  if (auto row = play_list_.row(0)) path = (*row)[engine::kFileNameColumn];
  const NextSong next = state_.next();
  if (path.empty() || !next.valid || next.path != path ||
      media::classifyMediaFile(path, media::mediaSwitchesOf(settings_)) > 15) {
    return "";
  }
  const std::string file = files_.fileToOpen(path);
  if (!media_.open(file).ok()) return "";
  media_.hide();
  if (next.details.start_frame != 0) {
    media_.playFrom(next.details.start_frame);
  } else {
    media_.play();
  }
  return file;
}

void Player::chooseSong(int32_t request, bool& by_choice) {
  window_.resetDisplayForNewSong();
  state_.video_shown.store(0);
  const bool back = request == kRequestBack && backStackTop(settings_) != -1;
  if (back || state_.play_chosen.load() != 0) {
    by_choice = !back;
    state_.invalidateNext();
    if (back) state_.setCurrentSlot(popBackStack(settings_));
    std::string path;
    library_.openLibraryForReading();
    marlbase::TableHandle& table = library_.table();
    if (table.isOpen()) {
      if (auto text = table.readText(state_.current().slot, kColFileName)) path = *text;
      table.close();
    }
    state_.setPlayPath(path);
    // Its details are loaded below: the ahead-loaded ones are for the list top.
  } else {
    std::string path;
    if (auto row = play_list_.row(0)) path = (*row)[engine::kFileNameColumn];
    const NextSong next = state_.next();
    if (next.valid && next.path != path) state_.invalidateNext();
    const int32_t current = state_.current().slot;
    if (request != kRequestBack && opened_ && current != -1 && current != backStackTop(settings_)) {
      pushBackStack(settings_, current);
    }
    state_.setPlayPath(path);
  }
  state_.play_chosen.store(0);
  state_.media_type.store(
      media::classifyMediaFile(state_.playPath(), media::mediaSwitchesOf(settings_)));
}

// Opens the file; the length is the song's end point when it has one, else the media's end.
// A file that does not open leaves the length 0, end point or not. Auto-rate counts a song that
// opened with a non-zero length, so a song with an end point is rated even when its media
// reports no length of its own.
bool Player::openMedia(const std::string& file) {
  really_played_ = false;
  rated_ = false;
  length_learned_ = false;
  state_.length.store(0);
  if (file.empty() || !media_.open(file).ok()) return false;
  return noteOpened();
}

// The media window holds the new song: shown or hidden, its length taken.
bool Player::noteOpened() {
  really_played_ = false;
  rated_ = false;
  length_learned_ = false;
  if (isVideo()) {
    media_.show();
  } else {
    media_.hide();
  }
  const uint32_t end_frame = state_.current().end_frame;
  const int64_t length = end_frame != 0 ? end_frame : media_.endPosition();
  really_played_ = length > 0;
  state_.length.store(length);
  return true;
}

void Player::startPlaying(bool resuming, int64_t start_at) {
  if (!media_.isOpen()) return;
  const uint32_t start = state_.current().start_frame;
  if (isVideo() && fullMovie()) {
    media_.playFullScreen();
  } else if (resuming) {
    media_.playFrom(state_.resume_position.load());
  } else if (start_at > 0) {
    media_.playFrom(start_at);
  } else if (start != 0) {
    media_.playFrom(start);
  } else {
    media_.play();
  }
}

}  // namespace tunora::player

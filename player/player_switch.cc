// Switching songs: requests 1 (next, or resume after a pause), 4 (skip) and 8 (back). The
// player takes grant 20, chooses the song (the list top, the back stack's first place or a
// chosen slot), opens it in the media window, starts it and removes its row from the list.
#include <filesystem>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "media/media_type.h"
#include "media/settings_adaptor.h"
#include "player/back_stack.h"
#include "player/player.h"

namespace tunora::player {

// The video area: half the main window's client area when it is wider than 400, else 400 x 400.
static ui::VideoArea videoArea(PlayerWindow& window) {
  const int32_t width = window.clientWidth();
  if (width > 400) return {0, 0, width / 2, window.clientHeight() / 2};
  return {0, 0, 400, 400};
}

void Player::switchSong(int32_t request) {
  if (request == kRequestSkip) rateCurrent(0);
  words_.playing.store(1);
  state_.position.store(-1);
  closeMedia();

  engine::Grant grant = lock_.requestAndWait(engine::kCodePlayer, 0, 2);
  if (!grant) {
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
  const std::string file = files_.fileToOpen(play_path);
  video_area_ = videoArea(window_);
  // Unless read ahead, the details are loaded now, under this grant.
  if (!resuming && !state_.takeNextAsCurrent()) (void)loader_.loadSongDetails(true);

  bool opened = openMedia(file);
  if (!opened && files_.retryAtLibraryPath() && words_.build_request.load() < engine::kOfflineStart) {
    files_.noteUnbuffered();
    opened = openMedia(play_path);
  }
  media_.moveAndSize({kOffScreen, kOffScreen, video_area_.width, video_area_.height});
  startPlaying(resuming);

  if (!resuming && !by_choice && request != kRequestBack) play_list_.removeFirst(1);
  grant.release();

  if (isVideo()) {
    state_.video_shown.store(1);
    window_.repaintWithVideo();
  } else {
    window_.repaintSongText();
  }
  state_.resume_position.store(0);
  window_.setSliderPosition(0);
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
    if (request != kRequestBack && current != -1 && current != backStackTop(settings_)) {
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
  state_.length.store(0);
  if (file.empty() || !media_.open(file).ok()) return false;
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

void Player::startPlaying(bool resuming) {
  if (!media_.isOpen()) return;
  const uint32_t start = state_.current().start_frame;
  if (isVideo() && fullMovie()) {
    media_.playFullScreen();
  } else if (resuming) {
    media_.playFrom(state_.resume_position.load());
  } else if (start != 0) {
    media_.playFrom(start);
  } else {
    media_.play();
  }
}

}  // namespace tunora::player

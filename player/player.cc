// The player thread's loop, polling and the requests that do not change the song.
#include "player/player.h"

#include <algorithm>

#include "engine/lock_codes.h"
#include "media/media_type.h"
#include "player/auto_rate.h"

namespace tunora::player {

Player::Player(const PlayerParts& parts)
    : lock_(parts.lock),
      words_(parts.lock.words()),
      library_(parts.library),
      settings_(parts.settings),
      play_list_(parts.play_list),
      updates_(parts.updates),
      media_(parts.media),
      window_(parts.window),
      files_(parts.files),
      env_(parts.env),
      fixed_user_(parts.fixed_user),
      loader_(parts.lock, parts.library, parts.settings, parts.play_list, state_, parts.env,
              [this] { window_.refreshStatus(); }) {}

bool Player::quitting() const {
  return engine::isQuitCode(words_.request.load()) || words_.stopping.load() != 0;
}

bool Player::isVideo() const { return state_.media_type.load() > 15; }
bool Player::fullMovie() const {
  return settings_.get(settings::kFullMovie) != 0 && !window_.inTray();
}
bool Player::autoRateOn() const { return settings_.get(settings::kAutoRate) != 0; }

void Player::runThread() {
  while (!quitting()) env_.sleepFor(step());
  noteLeftOff();
  state_.position.store(-1);
  closeMedia();
}

void Player::noteLeftOff() {
  const std::string path = state_.playPath();
  int64_t at = state_.resume_position.load();  // paused
  if (words_.playing.load() != 0 && media_.isOpen()) at = media_.position();
  if (path.empty() || at <= 0) return;  // nothing playing: what was noted stays
  state_.setLeftOff({path, at});
}

std::chrono::milliseconds Player::step() {
  if (const double volume = state_.volume.load(); volume != applied_volume_) {
    applied_volume_ = volume;
    media_.setVolume(volume);
  }
  if (words_.player_request.load() != 0 && play_list_.songsPrepared() > 1) {
    const int32_t request = words_.player_request.exchange(0);
    if (request != 0) handle(request);
  }
  if (words_.playing.load() == 0) return kIdleInterval;
  return poll();
}

void Player::handle(int32_t request) {
  switch (request) {
    case kRequestPlay:
    case kRequestSkip:
    case kRequestBack:
      switchSong(request);
      break;
    case kRequestPause:
      if (words_.playing.load() != 0) pause();
      break;
    case kRequestStop:
      stop();
      break;
    case kRequestSeek:
      if (media_.isOpen()) media_.playFrom(state_.seek_target.load());
      break;
    case kRequestMoveVideo:
      // The window was resized: the area follows its new size.
      video_area_ = videoArea(window_);
      media_.moveAndSize({video_area_.width, 30, video_area_.width, video_area_.height});
      break;
    case kRequestRestart:
      // Back to the song's start point; a video with "Full Movie" goes full screen again. Going
      // full screen starts the media from its beginning, so the start point comes after it.
      if (media_.isOpen()) {
        const uint32_t start = state_.current().start_frame;
        if (isVideo() && fullMovie()) {
          media_.playFullScreen();
          if (start != 0) media_.playFrom(start);
        } else {
          media_.playFrom(start);
        }
      }
      window_.setSliderPosition(0);
      break;
    default:
      break;
  }
  state_.play_chosen.store(0);
  window_.applyOnTop();
  window_.refreshStatus();
  state_.seek_target.store(0);
}

// A song counts as played to its end once; one that did not open, or opened without a length
// and never got under way, is not rated.
void Player::rateCurrent(int direction) {
  if (!autoRateOn() || !really_played_ || rated_) return;
  rated_ = true;
  autoRate(direction == 0 ? AutoRateDirection::kSkipped : AutoRateDirection::kPlayedToEnd,
           settings_, fixed_user_, state_.current(), updates_);
}

// A song whose length the media window learns only while it plays (an MP3 without a header
// that gives it) has not ended while its length is unknown, and a length learned late is the
// back end's estimate: such a song ends when the media says so, and the figure, renewed at
// every poll, moves the slider. A file that did not open has nothing to play: its song ends at
// once.
std::chrono::milliseconds Player::poll() {
  const bool open = media_.isOpen();
  const int64_t position = open ? media_.position() : 0;
  state_.position.store(position);
  if (open && (length_learned_ || state_.length.load() == 0)) {
    if (const int64_t media_end = media_.endPosition(); media_end > 0) {
      state_.length.store(media_end);
      length_learned_ = true;
    }
  }
  const int64_t length = state_.length.load();
  if (open && position > 0) really_played_ = true;
  if (!open || (!length_learned_ && length > 0 && position >= length) || media_.ended()) {
    words_.player_request.store(kRequestPlay);
    rateCurrent(1);
    // The next song follows at once when the request can be taken now.
    return play_list_.songsPrepared() > 1 ? std::chrono::milliseconds(0) : kPollInterval;
  }
  if (length == 0) return kPollInterval;  // until the length is learned or the media ends
  if (position != 0) {
    const auto p =
        static_cast<int32_t>(std::min<int64_t>(position * kSliderRange / length, kSliderRange));
    if (window_.sliderPosition() < p) window_.setSliderPosition(p);
  }
  // Due at the end point, or at the file's end when that comes first.
  const int64_t media_end = media_.endPosition();
  const int64_t left = (media_end > 0 ? std::min(length, media_end) : length) - position;
  if (left <= kPrepareAheadMillis) prepareNext();
  // Wakes when the song is due to end, or in time to prepare the next one.
  int64_t wait = left > kPrepareAheadMillis ? left - kPrepareAheadMillis : left;
  wait = std::clamp<int64_t>(wait, kEndWaitStep.count(), kPollInterval.count());
  // Past an estimated length the end may be seconds away: no need to poll in the shortest step.
  if (length_learned_ && left < 0) wait = kLateEndWaitStep.count();
  return std::chrono::milliseconds(wait);
}

// The list top is the song that follows this one unless a request says otherwise; open() of
// another file drops what was prepared.
void Player::prepareNext() {
  std::string path;
  if (auto row = play_list_.row(0)) path = (*row)[engine::kFileNameColumn];
  if (path.empty()) return;
  const std::string file = files_.fileToOpen(path);
  if (file == prepared_) return;
  prepared_ = file;
  media_.prepare(file);
}

void Player::closeMedia() {
  media_.close();
  state_.length.store(0);
}

void Player::pause() {
  words_.playing.store(0);
  state_.resume_position.store(media_.isOpen() ? media_.position() : 0);
  closeMedia();
  window_.setPlayButtonImage(kPlayImage);
  refillCheck();
}

void Player::stop() {
  // The window stops the song at the quit: where it was is kept for the next start.
  if (quitting()) noteLeftOff();
  words_.playing.store(0);
  if (state_.length.load() != 0) {
    closeMedia();
    state_.resume_position.store(0);
  }
  window_.setPlayButtonImage(kPlayImage);
  refillCheck();
}

void Player::refillCheck() {
  if (settings_.get(settings::kAutoBuild) != 0 &&
      play_list_.songsPrepared() < settings_.get(settings::kListSize) &&
      words_.build_request.load() < engine::kOfflineStart) {
    words_.build_request.store(engine::kBuildNow);
  }
}

void Player::playChosenSong(int32_t slot) {
  state_.setCurrentSlot(slot);
  state_.play_chosen.store(1);
  words_.player_request.store(kRequestPlay);
}

}  // namespace tunora::player

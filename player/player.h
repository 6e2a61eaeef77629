// The player thread: plays the play list's songs one after the other through the media window,
// serves the requests of the player request word (1 play or resume, 2 pause, 3 stop, 4 skip,
// 5 seek, 6 move the video, 7 restart, 8 back), polls the position twice a second and calls
// auto-rate when a song is skipped or played to its end. It holds lock code 20 only while it
// chooses and opens a song, and writes nothing to the song table itself.
//
// No silence between songs: the poll before the end wakes the thread when the song is due to
// end, the media window's own end counts as well as the position, the switch follows the end
// without a sleep, and the next list song is handed to the media window to get ready a few
// seconds ahead. A song whose file does not open is passed over at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/library_access.h"
#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/update_writer.h"
#include "platform/media_window.h"
#include "player/details_loader.h"
#include "player/file_choice.h"
#include "player/player_state.h"
#include "player/player_window.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora::player {

// Player request word values.
inline constexpr int32_t kRequestPlay = 1;
inline constexpr int32_t kRequestPause = 2;
inline constexpr int32_t kRequestStop = 3;
inline constexpr int32_t kRequestSkip = 4;
inline constexpr int32_t kRequestSeek = 5;
inline constexpr int32_t kRequestMoveVideo = 6;
inline constexpr int32_t kRequestRestart = 7;
inline constexpr int32_t kRequestBack = 8;

inline constexpr std::chrono::milliseconds kPollInterval{500};
inline constexpr std::chrono::milliseconds kIdleInterval{1000};
// The shortest sleep of a poll waiting for the end (the media window may report the end a
// little after the position says it is due).
inline constexpr std::chrono::milliseconds kEndWaitStep{10};
// The poll's sleep once a song has passed a length that was only the media window's estimate.
inline constexpr std::chrono::milliseconds kLateEndWaitStep{100};
// How long before a song's end the next list song is handed to the media window to get ready.
inline constexpr int64_t kPrepareAheadMillis = 3000;
// Off-screen place of a new media window, until the window places it.
inline constexpr int32_t kOffScreen = 9999;

struct PlayerParts {
  engine::SharedLock& lock;
  engine::LibraryAccess& library;
  Settings& settings;
  engine::PlayList& play_list;
  engine::UpdateWriter& updates;
  ui::MediaWindow& media;
  PlayerWindow& window;
  FileChoice& files;
  Env& env;
  int32_t fixed_user;  // 0..9, or kNoFixedUser
};

class Player {
 public:
  explicit Player(const PlayerParts& parts);

  // The thread's body: loops until the request word holds a quit code (66, 665, 666) or the
  // program stops; then closes the media window and sets the position to -1.
  void runThread();
  // One pass of the loop without its sleep: takes and handles a pending request (while more
  // than one song is prepared) and polls the position. Returns the sleep that follows.
  std::chrono::milliseconds step();

  // Plays `slot` at once instead of the list top: sets it as the current slot and the
  // play-chosen-song flag, then requests play. Callable from any thread.
  void playChosenSong(int32_t slot);

  PlayerState& state() { return state_; }
  DetailsLoader& detailsLoader() { return loader_; }
  // The supervisor's condition for the next-song details loader.
  bool detailsLoaderWanted() const { return loader_.wanted(); }

 private:
  void handle(int32_t request);
  void switchSong(int32_t request);  // requests 1, 4 and 8 (player_switch.cc)
  // The size the window's client area leaves the video now.
  static ui::VideoArea videoArea(PlayerWindow& window);
  void chooseSong(int32_t request, bool& by_choice);
  bool openMedia(const std::string& file);
  // Starts the opened song: where it was paused when resuming, else at `start_at` when above 0,
  // else at its start point.
  void startPlaying(bool resuming, int64_t start_at = 0);
  // At the quit: remembers the song playing or paused and where (PlayerState::leftOff).
  void noteLeftOff();
  void pause();
  void stop();
  void refillCheck();
  // Polls the position; returns the sleep until the next poll.
  std::chrono::milliseconds poll();
  void prepareNext();
  engine::Grant takeFreeGrant();
  std::string startPreparedEarly(int32_t request);
  bool noteOpened();
  void closeMedia();
  bool quitting() const;
  bool isVideo() const;
  bool fullMovie() const;
  bool autoRateOn() const;
  void rateCurrent(int direction);

  engine::SharedLock& lock_;
  engine::SharedWords& words_;
  engine::LibraryAccess& library_;
  Settings& settings_;
  engine::PlayList& play_list_;
  engine::UpdateWriter& updates_;
  ui::MediaWindow& media_;
  PlayerWindow& window_;
  FileChoice& files_;
  Env& env_;
  int32_t fixed_user_;
  PlayerState state_;
  DetailsLoader loader_;
  ui::VideoArea video_area_;
  // Only the player thread touches these: whether the song playing really plays (it opened
  // with a length, or its position moved), and whether it was auto-rated already.
  bool really_played_ = false;
  bool rated_ = false;
  // The length was not known when the song opened and came from the media window later.
  bool length_learned_ = false;
  // Whether the song playing (or paused) opened in the media window: one that did not is not
  // remembered on the back stack.
  bool opened_ = false;
  // The file handed to the media window to get ready for the next song.
  std::string prepared_;
  // The volume last given to the media window (which starts at full volume).
  double applied_volume_ = 1.0;
};

}  // namespace tunora::player

// The program object's player: created over the media window and the window that the caller
// provides, its details loader run by the supervisor, its thread in the program's thread set.
#include "app/program.h"
#include "player/file_choice.h"
#include "player/player.h"

namespace tunora {

player::Player& Program::createPlayer(ui::MediaWindow& media, player::PlayerWindow& window) {
  file_choice_ = {new player::FileChoice(), [](player::FileChoice* p) { delete p; }};
  player_ = {new player::Player({lock_, library_, settings_, play_list_, update_writer_, media,
                                 window, *file_choice_, env_, context_.fixed_user}),
             [](player::Player* p) { delete p; }};
  player::Player* p = player_.get();
  supervisor_.addWorker(
      [this, p] { return words_.playing.load() != 0 && p->detailsLoaderWanted(); },
      [p] { (void)p->detailsLoader().loadSongDetails(false); });
  return *player_;
}

bool Program::startPlayer() {
  if (!player_) return false;
  if (settings_.get(settings::kAutoPlay) != 0 || context_.play_on_start.load() != 0) {
    words_.playing.store(1);
  }
  player::Player* p = player_.get();
  return threads_.start([p] { p->runThread(); });
}

}  // namespace tunora

// The program object's player: created over the media window and the window that the caller
// provides, its details loader run by the supervisor, its thread in the program's thread set.
#include "app/program.h"
#include "player/file_choice.h"
#include "player/player.h"

namespace tunora {
namespace {

// The player's file in Network mode: the buffered local copy while buffering is on, the library
// path when that copy does not open.
class BufferedFileChoice final : public player::FileChoice {
 public:
  BufferedFileChoice(network::Buffering& buffering, engine::SharedWords& words,
                     const Settings& settings)
      : buffering_(buffering), words_(words), settings_(settings) {}
  std::string fileToOpen(const std::string& library_path) override {
    return network::chooseFileToPlay(buffering_, library_path);
  }
  bool retryAtLibraryPath() override {
    return settings_.get(settings::kNetwork) != 0 && buffering_.state() != network::kBufferOff;
  }
  void noteUnbuffered() override { (void)network::fallBackToNetwork(buffering_, words_, ""); }

 private:
  network::Buffering& buffering_;
  engine::SharedWords& words_;
  const Settings& settings_;
};

}  // namespace

player::Player& Program::createPlayer(ui::MediaWindow& media, player::PlayerWindow& window) {
  file_choice_ = {new BufferedFileChoice(buffering_, words_, settings_),
                  [](player::FileChoice* p) { delete p; }};
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
  if (resume_start_) {
    player_->state().setStartPlace(
        player::SongPlace{resume_start_->path, resume_start_->position_ms});
    resume_start_.reset();
  }
  if (settings_.get(settings::kAutoPlay) != 0 || context_.play_on_start.load() != 0) {
    words_.playing.store(1);
  }
  player::Player* p = player_.get();
  return threads_.start([p] { p->runThread(); });
}

Status Program::saveResumePoint() {
  std::optional<engine::ResumePoint> point;
  if (player_ && play_list_.songsPrepared() != kDoNotSavePlayList) {
    std::optional<player::SongPlace> place = player_->state().leftOff();
    // Not started since the last start: the place read then is kept.
    if (!place) place = player_->state().startPlace();
    if (place) {
      point = engine::ResumePoint{settings_.get(settings::kCurrentState), place->position_ms,
                                  place->path};
    }
  }
  return engine::writeResumePoint(context_.data_directory, point);
}

}  // namespace tunora

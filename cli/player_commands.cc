// tunora-cli play and demo: the whole engine without a window (the builder, the supervisor, the
// player over GStreamer, auto-rate and the update writer), driven from the terminal; and a
// folder of generated songs to try it with.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/program.h"
#include "app/settings_defaults.h"
#include "app/settings_file.h"
#include "cli/command.h"
#include "cli/settings_input.h"
#include "cli/output.h"
#include "cli/play_status.h"
#include "cli/play_terminal.h"
#include "engine/lock_codes.h"
#include "library/rating.h"
#include "media/playlist_file.h"
#include "media/playlist_load.h"
#include "media/settings_adaptor.h"
#include "player/demo_songs.h"
#include "player/gst/gst_media_window.h"
#include "player/player.h"

namespace tunora::cli {
namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "tunora-cli: %s\n", message.c_str());
  return 1;
}

// The main window, as far as a terminal has one: commands 2031 end the quit.
class TerminalWindow final : public engine::WindowChannel, public player::PlayerWindow {
 public:
  void postCommand(int32_t command, int32_t) override {
    if (command == engine::kCommandFinishQuit) finish_.store(true);
  }
  bool finished() const { return finish_.load(); }

  int32_t sliderPosition() override { return slider_.load(); }
  void setSliderPosition(int32_t position) override { slider_.store(position); }
  void setPlayButtonImage(int32_t) override {}
  void resetDisplayForNewSong() override {}
  void repaintSongText() override {}
  void repaintWithVideo() override {}
  void refreshStatus() override {}
  void applyOnTop() override {}
  int32_t clientWidth() override { return 800; }
  int32_t clientHeight() override { return 600; }
  bool inTray() override { return true; }  // no full-screen video in a terminal

 private:
  std::atomic<bool> finish_{false};
  std::atomic<int32_t> slider_{0};
};

std::string stars(uint32_t score, const Settings& settings) {
  RatingThresholds thresholds{};
  for (uint32_t k = 0; k < thresholds.size(); ++k) {
    thresholds[k] = static_cast<uint32_t>(settings.get(settings::kRatingValue, k));
  }
  const int32_t n = ratingOfScore(score, thresholds);
  std::string text;
  for (int32_t i = 0; i < 10; ++i) text += i < n ? "*" : ".";
  return text;
}

// Lines rewrite the terminal's current line only when it is one.
const char* lineStart() { return isatty(STDOUT_FILENO) ? "\r\033[K" : ""; }

void printSong(const player::SongDetails& song, const std::string& path, const Settings& s) {
  std::printf("%s> %s - %s - %s  [%s]\n", lineStart(),
              displayText(song.title.empty() ? path : song.title).c_str(),
              displayText(song.artist).c_str(), displayText(song.album).c_str(),
              stars(song.rating, s).c_str());
  std::fflush(stdout);
}

int runPlay(const Args& args) {
  const auto db = args.option("--db");
  if (!db || !args.positional().empty()) {
    return fail("usage: play [--settings FILE] --db TABLE [--state S] [--auto-rate] (try --help)");
  }
  const auto settings_file = args.option("--settings");
  Settings settings;
  std::string error;
  if (!readSettingsArgument(settings_file, true, settings, error)) return fail(error);
  if (const auto state = args.option("--state")) {
    if (state->size() != 1 || (*state)[0] < '0' || (*state)[0] > '9') {
      return fail("--state takes 0..9");
    }
    settings.set(settings::kCurrentState, (*state)[0] - '0');
  }
  if (args.flag("--auto-rate")) settings.set(settings::kAutoRate, 1);
  const std::string db_path = std::filesystem::absolute(*db).string();
  settings.setText(settings::kDatabasePath, db_path);
  const std::filesystem::path home =
      settings_file ? std::filesystem::absolute(*settings_file).parent_path()
                    : std::filesystem::path(db_path).parent_path();
  const std::string data_dir = home.string() + "/";

  marlbase::TableHandle probe;
  probe.setPath(db_path);
  if (Status s = probe.open(); !s.ok()) return fail(*db + ": " + s.message());
  const int32_t songs = probe.liveCount();
  probe.close();
  if (songs < engine::kMinimumSongsToBuild) {
    return fail(*db + ": the library holds " + std::to_string(songs) +
                " songs; at least 20 are needed before songs can be picked. Import a folder "
                "first: tunora-cli import --db " + *db + " FOLDER/ (or make songs to try with: "
                "tunora-cli demo FOLDER)");
  }

  PlayTerminal terminal;  // before any thread starts: they inherit its signal mask
  TerminalWindow window;
  gst::GstMediaWindow media;
  Program program(Env::Default());
  program.settings() = settings;
  program.setDataDirectory(data_dir);
  (void)program.loadStatePlayList();
  program.attachWindow(&window);
  player::Player& player = program.createPlayer(media, window);
  program.words().playing.store(1);  // plays as soon as two songs are prepared
  if (!program.startSupervisor() || !program.startBuilder() || !program.startPlayer()) {
    return fail("cannot start the program's threads");
  }
  program.startBufferingOrChecksumPass();
  std::printf("keys: p play/pause, s skip, r restart, b back, q quit\n");

  std::array<std::string, 4> shown;
  std::string shown_song;
  bool quitting = false;
  while (!window.finished()) {
    const char key = terminal.nextKey(std::chrono::milliseconds(200));
    engine::SharedWords& words = program.words();
    if (key == 'q' && !quitting) {
      quitting = true;
      program.closeWindow();
    } else if (key == 'q') {
      program.closeWindow();  // a second quit hurries the first
    } else if (key == 'p') {
      words.player_request.store(words.playing.load() != 0 ? player::kRequestPause
                                                           : player::kRequestPlay);
    } else if (key == 's' && words.playing.load() != 0) {
      words.player_request.store(player::kRequestSkip);
    } else if (key == 'r') {
      words.player_request.store(player::kRequestRestart);
    } else if (key == 'b') {
      words.player_request.store(player::kRequestBack);
    }
    const std::string path = player.state().playPath();
    if (player.state().position.load() >= 0 && path != shown_song) {
      shown_song = path;
      printSong(player.state().current(), path, program.settings());
    }
    StatusInputs in;
    in.request_word = words.request.load();
    in.building = program.builder().busy() == 1;
    in.playing = words.playing.load() != 0;
    in.songs_prepared = program.playList().songsPrepared();
    in.build_request = words.build_request.load();
    in.live_records = songs;
    in.writer_running = program.updateWriter().running();
    in.fixed_user = program.context().fixed_user;
    auto texts = statusTexts(in, program.settings());
    if (texts[1].empty()) texts[1] = shown[1];
    if (texts != shown) {
      shown = texts;
      std::printf("%s[%s | %s | %s | %s]\n", lineStart(), texts[0].c_str(), texts[1].c_str(),
                  texts[2].c_str(), texts[3].c_str());
      std::fflush(stdout);
    }
  }
  // Command 2031: playback stops, the threads end, the settings and the play list are saved.
  program.words().player_request.store(player::kRequestStop);
  program.stopThreads();
  program.noteEditQueueCount();
  PlayListStore& store = program.playListStore();
  Status saved = Status::Ok();
  if (settings_file) {
    saved = writeSettingsFile(*settings_file, program.settings());
    const int32_t state = program.settings().get(settings::kCurrentState);
    const std::string list = media::playListFileName(data_dir, state);
    if (saved.ok() && store.preparedCount() != engine::kDoNotSavePlayList) {
      if (store.preparedCount() > 0) {
        (void)store.writePlayList(list);
      } else {
        std::filesystem::remove(list);
      }
    }
  } else {
    saved = saveSettings(program.settings(), data_dir, {nullptr, &store});
  }
  if (!saved.ok()) return fail("settings not saved: " + saved.message());
  std::printf("settings and play list saved in %s\n", data_dir.c_str());
  return 0;
}

int runDemo(const Args& args) {
  if (args.positional().size() != 1) return fail("usage: demo DIR");
  const std::string dir = args.positional()[0];
  if (Status s = player::writeDemoSongs(dir); !s.ok()) return fail(s.message());
  std::printf("%d songs written below %s\n", player::kDemoSongCount, dir.c_str());
  return 0;
}

}  // namespace

std::vector<Command> playerCommands() {
  return {
      {{"play"},
       "[--settings FILE] --db TABLE [--state S] [--auto-rate]",
       "Plays the library without a window: builds the list, plays it through GStreamer "
       "(TUNORA_AUDIO_SINK names another sink), auto-rates with \"Auto Rate\" on (--auto-rate turns it on and saves it). Keys: p "
       "play/pause, s skip, r restart, b back, q quit (saves settings and the play list).",
       {"--settings", "--db", "--state"},
       runPlay},
      {{"demo"},
       "DIR",
       "Writes 30 short generated songs (WAV) in Artist/Album folders below DIR.",
       {},
       runDemo},
  };
}

}  // namespace tunora::cli

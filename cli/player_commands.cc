// tunora-cli play and demo: the whole engine without a window (the builder, the supervisor, the
// player over GStreamer, auto-rate and the update writer), driven from the terminal; and a
// folder of generated songs to try it with.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/instance_lock.h"
#include "app/program.h"
#include "app/startup_load.h"
#include "cli/command.h"
#include "cli/file_checks.h"
#include "cli/output.h"
#include "cli/play_line.h"
#include "cli/play_status.h"
#include "cli/play_terminal.h"
#include "cli/settings_input.h"
#include "engine/lock_codes.h"
#include "library/rating.h"
#include "media/playlist_file.h"
#include "media/playlist_load.h"
#include "media/settings_adaptor.h"
#include "platform/welcome.h"
#include "player/demo_songs.h"
#include "player/gst/gst_media_window.h"
#include "player/player.h"
#include "settings/settings_defaults.h"
#include "settings/settings_file.h"
#include "settings/settings_upgrade.h"
#include "util/xdg_folders.h"

namespace tunora::cli {
namespace {

int usage(const std::string& message) {
  std::fprintf(stderr, "tunora-cli: %s\n", message.c_str());
  return kExitUsage;
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

std::string songText(const player::SongDetails& song, const std::string& path, const Settings& s) {
  return displayText(song.title.empty() ? path : song.title) + " - " + displayText(song.artist) +
         " - " + displayText(song.album) + "  [" + stars(song.rating, s) + "]";
}

void write(const std::string& text) {
  if (text.empty()) return;
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

int runPlay(const Args& args) {
  const auto db = args.option("--db");
  if (!db || !args.positional().empty()) {
    return usage("usage: play [--settings FILE] --db TABLE [--state S] [--auto-rate] (try --help)");
  }
  const auto settings_file = args.option("--settings");
  if (std::string e = sameFileError({{"--db", db}, {"--settings", settings_file}}); !e.empty()) {
    return fail(e);
  }
  std::error_code ec;
  const std::string db_path = std::filesystem::absolute(*db, ec).string();
  if (ec) return fail(*db + ": " + ec.message());
  const std::filesystem::path home =
      settings_file ? std::filesystem::absolute(*settings_file, ec).parent_path()
                    : std::filesystem::path(db_path).parent_path();
  if (ec) return fail(*settings_file + ": " + ec.message());
  const std::string data_dir = home.string() + "/";
  Settings settings;
  std::string error;
  int version = kVersionCurrent;
  if (!readSettingsArgument(settings_file, true, settings, error, &version)) return fail(error);

  PlayTerminal terminal;  // before any thread starts: they inherit its signal mask
  TerminalWindow window;
  gst::GstMediaWindow media;
  Program program(Env::Default());
  // The program's start-up steps that apply without a window: the single-instance lock, then
  // the settings file's upgrade.
  AppContext& context = program.context();
  InstanceLockResult lock =
      takeInstanceLock(program.env(), instanceLockPath(processEnvironment()), nullptr);
  if (lock.end_program) return fail("another player is running");
  context.instance_lock = std::move(lock.lock);
  context.program_directory = data_dir;
  context.data_directory = data_dir;
  ui::NoWelcomeDialog no_welcome;
  if (!applySettingsUpgrade(context, settings, version, program.messageDialog(), no_welcome)) {
    return fail(std::string(kNotUpgradableMessage));
  }

  if (const auto state = args.option("--state")) {
    if (state->size() != 1 || (*state)[0] < '0' || (*state)[0] > '9') {
      return usage("--state takes 0..9");
    }
    settings.set(settings::kCurrentState, (*state)[0] - '0');
  }
  if (args.flag("--auto-rate")) settings.set(settings::kAutoRate, 1);
  settings.setText(settings::kDatabasePath, db_path);

  marlbase::TableHandle probe;
  probe.setPath(db_path);
  if (Status s = probe.open(); !s.ok()) return fail(*db + ": " + s.message());
  // Songs as users count them: the blank first record is none.
  const int32_t records = probe.liveCount();
  const int32_t songs =
      records - (probe.peekStatus(0).value_or(0) == marlbase::kStatusLive ? 1 : 0);
  probe.close();
  if (!engine::enoughSongsToBuild(songs)) {
    return fail(*db + ": the library holds " + std::to_string(songs) +
                (songs == 1 ? " song" : " songs") + "; the list builder needs at least " +
                std::to_string(engine::kMinimumSongsToBuild) +
                ". Import more music: tunora-cli import --db " + *db +
                " FOLDER (or make songs to try with: tunora-cli demo FOLDER)");
  }

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
  const bool terminal_out = isatty(STDOUT_FILENO) != 0;
  StatusLineWriter status(terminal_out);
  write(status.permanent("keys: p play/pause, s skip, r restart, b back, q quit"));

  std::string shown_prepared;
  std::string shown_path;
  std::string message;  // why the last key did nothing; kept until the next key or song
  bool problem_told = false;
  bool quitting = false;
  while (!window.finished()) {
    const char key = terminal.nextKey(std::chrono::milliseconds(200));
    engine::SharedWords& words = program.words();
    const bool playing = words.playing.load() != 0;
    const bool paused = !playing && player.state().resume_position.load() != 0;
    if (key != 0) {
      message = keyRefusal(key, {playing, paused, program.playList().songsPrepared()});
    }
    if (key == 'q' && !quitting) {
      quitting = true;
      program.closeWindow();
    } else if (key == 'q') {
      program.closeWindow();  // a second quit hurries the first
    } else if (key == 'p') {
      words.player_request.store(playing ? player::kRequestPause : player::kRequestPlay);
    } else if (key == 's' && playing) {
      words.player_request.store(player::kRequestSkip);
    } else if (key == 'r' && playing) {
      words.player_request.store(player::kRequestRestart);
    } else if (key == 'b') {
      words.player_request.store(player::kRequestBack);
    }
    const std::string problem = player.state().outputProblem();
    if (!problem.empty() && !problem_told) {
      problem_told = true;
      write(status.permanent("tunora-cli: " + problem + "; the songs play on without sound"));
    }
    StatusInputs in;
    in.request_word = words.request.load();
    in.building = program.builder().busy() == 1;
    in.playing = playing;
    in.songs_prepared = program.playList().songsPrepared();
    in.build_request = words.build_request.load();
    in.live_records = records;
    in.writer_running = program.updateWriter().running();
    in.fixed_user = program.context().fixed_user;
    auto texts = statusTexts(in, program.settings());
    if (texts[1].empty()) texts[1] = shown_prepared;  // the 9999 marker keeps the text
    shown_prepared = texts[1];

    PlayLineInputs line;
    line.mode = quitting  ? PlayMode::kQuitting
                : playing ? PlayMode::kPlaying
                : paused  ? PlayMode::kPaused
                          : PlayMode::kStopped;
    const int64_t position = player.state().position.load();
    line.position = paused ? player.state().resume_position.load() : position;
    line.length = player.state().length.load();
    const std::string path = player.state().playPath();
    if (path != shown_path) {
      shown_path = path;
      message.clear();
    }
    if (!path.empty() && (position >= 0 || paused)) {
      line.song = songText(player.state().current(), path, program.settings());
    }
    line.problem = problem;
    line.message = message;
    line.texts = {texts[1], texts[2], texts[3]};
    write(status.update(line));
  }
  if (terminal_out) write("\n");
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
    if (saved.ok() && store.preparedCount() != kDoNotSavePlayList) {
      if (store.preparedCount() > 0) {
        (void)store.writePlayList(list);
      } else {
        std::filesystem::remove(list, ec);
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
  if (args.positional().size() != 1) return usage("usage: demo DIR");
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
       "Plays the library without a window: takes the single-instance lock, upgrades FILE's "
       "settings as the program does, builds the list, plays it through GStreamer "
       "(TUNORA_AUDIO_SINK names another sink), auto-rates with \"Auto Rate\" on (--auto-rate "
       "turns it on and saves it). Keys: p "
       "play/pause, s skip, r restart, b back, q quit (saves the settings as dTunora.dat and the "
       "play list in the folder of "
       "FILE, else of TABLE).",
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

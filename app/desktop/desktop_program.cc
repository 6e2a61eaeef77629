// The desktop program.
#include "app/desktop/desktop_program.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/desktop/filler_program.h"
#include "app/program_files.h"
#include "app/program.h"
#include "import/import.h"
#include "settings/folder_check.h"
#include "settings/settings_file.h"
#include "app/start_up.h"
#include "engine/executor_work.h"
#include "engine/random_source.h"
#include "network/local_copy_library.h"
#include "player/gst/gst_media_window.h"
#include "player/player.h"
#include "ui/cover_loader.h"
#include "ui/current_song.h"
#include "ui/engine_status_sources.h"
#include "ui/open_paths.h"
#include "ui/qt/desktop.h"
#include "ui/qt/instance_hand_over.h"
#include "ui/shutdown.h"
#include "ui/quick_link_builder.h"
#include "ui/status_text.h"
#include "ui/window_state.h"
#include "util/xdg_folders.h"

namespace tunora {
namespace {

// What the window says when its data folder takes no files.
constexpr char kReadOnlyStatusText[] = "Data folder is read-only: nothing will be saved";
constexpr char kNotSavedMessage[] =
    "The settings, the play list and the rating changes of this session could not be saved: "
    "the data folder takes no files. ";
constexpr int32_t kNotSavedMessageSeconds = 30;

constexpr char kUsage[] =
    "Usage: tunora [s] [f] [FILE | FOLDER | PLAYLIST]...\n"
    "Tunora is an automatic music player that fills its own play list.\n"
    "\n"
    "  s          start playing at once\n"
    "  f          open only the media filler (it may run beside a player)\n"
    "  FILE...    media files, playlist files (.m3u, .txt) and folders: imported into\n"
    "             the library, and the first song plays at once; when a player runs\n"
    "             already, they go to it, its window comes up, and this start ends\n"
    "  --help     print this text and end\n"
    "  --version  print the version and end\n"
    "\n"
    "One player runs at a time: a second start raises the running player's window.\n";

// The paths handed to the program, made absolute (folders ending in "/"); each path that is not
// a media file, a playlist or a folder is reported on stderr and left out.
std::vector<std::string> acceptedPaths(const std::vector<std::string>& given) {
  std::vector<std::string> accepted;
  for (const std::string& path : given) {
    std::error_code ec;
    std::string full = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (ec) full = path;
    const media::HandedPathKind kind = media::handedPathKind(full);
    if (kind == media::HandedPathKind::kNone) {
      std::fprintf(stderr, "tunora: %s: not a media file, playlist or folder\n", path.c_str());
      continue;
    }
    if (kind == media::HandedPathKind::kFolder && full.back() != '/') full.push_back('/');
    accepted.push_back(std::move(full));
  }
  return accepted;
}

// How long a second start waits for the running player's answer to each hand-over.
constexpr int kHandOverAnswerMs = 1000;

}  // namespace

int runDesktopProgram(int argc, char** argv) {
  std::vector<std::string> words(argv, argv + argc);
  const ProgramArguments arguments = sortProgramArguments(words);
  if (arguments.help || arguments.version || !arguments.unknown.empty()) {
    if (!arguments.unknown.empty()) {
      std::fprintf(stderr, "tunora: unknown option %s\n%s", arguments.unknown.front().c_str(),
                   kUsage);
      return 2;
    }
    if (arguments.version) std::printf("%s\n", kVersionTitle);
    if (arguments.help) std::printf("%s", kUsage);
    return 0;
  }
  // Paths that name nothing the program can open change nothing.
  const std::vector<std::string> paths = acceptedPaths(arguments.paths);
  if (!arguments.paths.empty() && paths.empty()) return 1;
  const std::string command_line = joinCommandLine(arguments.option_words);
  Env& env = Env::Default();
  // The program object starts no thread when made. The window's state and the desktop come
  // after it, so that they go first at the end (the window reads the program's play list until
  // it is gone). The desktop's constructor blocks the termination signals for every thread that
  // follows; start-up's dialogs need it.
  Program program(env);
  ui::WindowState window_state;
  ui::qt::Desktop desktop(argc, argv, findProgramFilesFolder(runningProgramPath()));

  StartUpInputs inputs;
  inputs.command_line = command_line;
  inputs.probe = systemDirectoryProbe();
  inputs.lock_path = instanceLockPath(processEnvironment());
  inputs.hand_over = [&paths](int64_t pid) {
    return ui::qt::handOverToPlayer(pid, paths, kHandOverAnswerMs);
  };
  inputs.env = &env;
  inputs.dialog = &desktop.dialog();
  inputs.welcome = &desktop.welcome();
  inputs.library = &program.library();
  const StartUpOutcome outcome = startUp(inputs, program.context(), program.settings());
  // A termination signal during start-up: its dialogs were closed, and nothing more starts.
  if (desktop.terminationRequested()) return 1;
  switch (outcome) {
    case StartUpOutcome::kRunMainWindow:
      break;
    case StartUpOutcome::kRunFiller:
      return runFillerProgram(program, desktop, std::getenv("TUNORA_TRACE") != nullptr);
    case StartUpOutcome::kHandedOver:
      return 0;
    case StartUpOutcome::kAnotherPlayerRunning:
      std::fprintf(stderr, "tunora: another Tunora player runs and did not answer\n");
      return 1;
    case StartUpOutcome::kEndProgram:
      return 1;
  }
  AppContext& context = program.context();
  Settings& settings = program.settings();
  engine::SharedWords& shared = program.words();
  program.setDataDirectory(context.data_directory);
  // Checked before any thread starts, so that a missing file ends a program that has started
  // nothing.
  if (!desktop.loadToolBar()) return 1;

  // The window (hidden until its children and threads are set up).
  window_state.opening_database.store(1);
  // The cover loader comes first among the supervisor's workers, before the details loader
  // that the player adds. It reads no database, so a busy lock does not hold it back.
  std::unique_ptr<ui::CoverLoader> cover_loader;
  program.supervisor().addWorker([&cover_loader] { return cover_loader && cover_loader->wanted(); },
                                 [&cover_loader] {
                                   if (cover_loader) cover_loader->run();
                                 },
                                 engine::WorkerNeeds::kNothing);
  // Then the quick-link list builder.
  std::unique_ptr<ui::QuickLinkBuilder> quick_links;
  program.supervisor().addWorker([&quick_links] { return quick_links && quick_links->wanted(); },
                                 [&quick_links] {
                                   if (quick_links) quick_links->run();
                                 });

  engine::SharedLock& lock = program.lock();
  shared.build_request.store(engine::kBuildIdle);

  // The window shows the player's state, and the player talks to the window: the player is
  // made first over a forwarding window interface that the window's bridge then fills in
  // (before any thread starts).
  // With TUNORA_TRACE set, each song that starts and each status text is printed to stderr
  // (for scripts and tests that watch the program from outside).
  const bool trace = std::getenv("TUNORA_TRACE") != nullptr;
  class ForwardingWindow final : public player::PlayerWindow {
   public:
    player::PlayerWindow* target = nullptr;
    std::function<void()> on_song_text;
    int32_t sliderPosition() override { return target ? target->sliderPosition() : 0; }
    void setSliderPosition(int32_t p) override {
      if (target) target->setSliderPosition(p);
    }
    void setPlayButtonImage(int32_t i) override {
      if (target) target->setPlayButtonImage(i);
    }
    void resetDisplayForNewSong() override {
      if (target) target->resetDisplayForNewSong();
    }
    void repaintSongText() override {
      if (on_song_text) on_song_text();
      if (target) target->repaintSongText();
    }
    void repaintWithVideo() override {
      if (on_song_text) on_song_text();
      if (target) target->repaintWithVideo();
    }
    void refreshStatus() override {
      if (target) target->refreshStatus();
    }
    void applyOnTop() override {
      if (target) target->applyOnTop();
    }
    int32_t clientWidth() override { return target ? target->clientWidth() : 0; }
    int32_t clientHeight() override { return target ? target->clientHeight() : 0; }
    bool inTray() override { return target ? target->inTray() : false; }
  };
  ForwardingWindow forwarding;
  gst::GstMediaWindow media(&desktop.videoFrames());
  player::Player& player = program.createPlayer(media, forwarding);
  desktop.createWindow(ui::qt::DesktopWindowParts{
      lock, settings, program.playList(), program.status(), player.state(), context,
      program.updateWriter(), program.updateQueue(), window_state, [&program](int32_t state) {
        (void)program.threads().start(
            [&program, state] { (void)program.stateSwitcher().switchState(state); });
      }});
  forwarding.target = &desktop.playerWindow();
  std::string traced_song;  // the player thread's
  if (trace) {
    forwarding.on_song_text = [&player, &traced_song] {
      const std::string path = player.state().playPath();
      if (path == traced_song) return;
      traced_song = path;
      std::fprintf(stderr, "tunora: song %s\n", path.c_str());
    };
  }
  program.attachWindow(&desktop.channel());
  program.setMessageDialog(&desktop.dialog());

  // The status bar.
  ui::EngineStatusSources sources({program.builder(), program.buffering(), program.checksumPass(),
                                   program.updateWriter(), program.stateSwitcher(),
                                   program.supervisor(), program.songTable(), context.fixed_user});
  engine::EnvRandomSource random(env);
  ui::StatusParts status_parts{shared,           settings, program.playList(),
                               program.status(), sources,  random};
  std::function<void(const ui::StatusTexts&)> show = desktop.statusShow();
  if (trace) {
    show = [show](const ui::StatusTexts& texts) {
      std::string line;
      for (const auto& text : texts) line += " | " + text.value_or("-");
      std::fprintf(stderr, "tunora: status%s\n", line.c_str());
      show(texts);
    };
  }
  program.status().setRefresher(ui::statusRefresher(status_parts, show));
  desktop.setRefreshStatus([&program] { program.status().refresh(); });
  desktop.setDialogSources(ui::qt::DialogSources{env, program.library(), program.threads(),
                                                 program.builder(), program.stateSwitcher(),
                                                 program.buffering()});
  desktop.setLiveRecordCount([&program] { return program.library().table().liveCount(); });

  cover_loader = std::make_unique<ui::CoverLoader>(
      ui::CoverLoaderParts{window_state, shared, settings, player.state(), program.status(), random,
                           desktop.coverPicture(), context.data_directory,
                           context.program_directory, desktop.repaintArea()});
  window_state.cover.markForReload();
  quick_links = std::make_unique<ui::QuickLinkBuilder>(ui::QuickLinkParts{
      lock, program.library(), settings, player.state(), window_state, desktop.repaintArea()});

  // The request executor's work for the window's requests.
  ui::PlayerCurrentSong current_song(player.state());
  player.state().setCurrentSlot(1);
  engine::ExecutorWork work(engine::ExecutorParts{
      lock, program.library(), settings, program.playList(), program.status(), desktop.channel(),
      desktop.executorWindow(), desktop.dialog(), current_song, context.fixed_user,
      [&context](int32_t value) { network::setChangeCounter(context, value); }});
  work.registerInto(program.executor());

  // Shutdown after an unattended build asks first, on a thread of its own.
  program.setShutdownAfterBuild([&program, &desktop] {
    if (!ui::shutdownAfterBuildWanted(program.settings(), program.words())) return;
    (void)program.threads().start(
        [&desktop] { (void)ui::runShutdownAfterBuild(desktop.dialog(), desktop.powerOff()); });
  });

  // The state's play list, read once with the library opened for reading.
  (void)program.loadStatePlayList();
  if (trace) desktop.traceTiming();
  desktop.showWindow(context.play_on_start.load() != 0);
  // A data folder that takes no files loses the settings, the play list and the ratings: the
  // status bar says so from the start, and a message says it again when the window closes.
  const std::string data_dir = context.data_directory;
  if (!checkFolderWritable(data_dir).ok()) {
    shared.data_read_only.store(1);
    program.status().setText(kReadOnlyStatusText);
  }
  desktop.setOnDestroy([&desktop, data_dir] {
    const Status writable = checkFolderWritable(data_dir);
    if (writable.ok()) return;
    ui::MessageRequest request;
    request.message = std::string(kNotSavedMessage) + writable.message();
    request.first_button = ui::kOkButton;
    request.second_button = "";
    request.timeout_seconds = kNotSavedMessageSeconds;
    (void)desktop.dialog().show(request);
  });
  program.status().refresh();

  // Every way out from here stops the threads first: they use the parts made above.
  auto stop = [&program, &desktop] {
    desktop.detachWindow();
    program.words().player_request.store(player::kRequestStop);
    program.stopThreads();
    program.status().setRefresher(nullptr);
    program.attachWindow(nullptr);
    program.setMessageDialog(nullptr);
  };
  if (!program.startSupervisor() || !program.startPlayer()) {
    std::fprintf(stderr, "tunora: cannot start the program's threads\n");
    stop();
    return 1;
  }
  // Buffering for the reloaded list, or the checksum pass.
  if (settings.get(settings::kBuffer) != 0 && program.playList().songsPrepared() > 5) {
    program.buffering().setUpBuffer();
  } else {
    if (settings.get(settings::kBuffer) != 0) program.buffering().setState(network::kBuffered);
    if (!program.checksumPass().running()) program.checksumPass().startChecksumPass();
  }
  window_state.opening_database.store(0);
  if (!program.startBuilder()) {
    std::fprintf(stderr, "tunora: cannot start the list builder\n");
    stop();
    return 1;
  }

  desktop.setOnSessionEnd([&program, &desktop, data_dir] {
    program.noteEditQueueCount();
    (void)saveSettings(program.settings(), data_dir,
                       {&desktop.windowState(), &program.playListStore()});
  });
  // Paths handed over, from this start's command line and from later starts: imported and the
  // first song played, on a thread of their own.
  const ui::OpenPathsParts open_parts{
      ui::PlayListTopParts{lock, program.library(), settings, program.playList(), program.status(),
                           player.state()},
      program.library().table(), context.network_refresh_counter, desktop.channel()};
  auto open_paths = [&program, open_parts, trace](std::vector<std::string> handed) {
    (void)program.threads().start([open_parts, handed = std::move(handed), trace] {
      const std::string opened = ui::openHandedPaths(open_parts, handed);
      if (trace) {
        std::fprintf(stderr, "tunora: opened %s\n", opened.empty() ? "nothing" : opened.c_str());
      }
    });
  };
  desktop.offerHandOver(open_paths);
  if (!paths.empty()) open_paths(paths);
  desktop.closeOnTerminationSignals();
  (void)desktop.run();

  // Command 2031 stopped playback and destroyed the window: the threads end, then the settings
  // and the state's play list are saved.
  stop();
  program.noteEditQueueCount();
  // Where the song playing stopped, in a file of its own beside the settings file.
  if (const Status resume = program.saveResumePoint(); !resume.ok()) {
    std::fprintf(stderr, "tunora: where the song stopped was not kept: %s\n",
                 resume.message().c_str());
  }
  const Status saved = saveSettings(program.settings(), data_dir,
                                    {&desktop.windowState(), &program.playListStore()});
  if (!saved.ok()) {
    std::fprintf(stderr, "tunora: settings not saved: %s\n", saved.message().c_str());
    return 1;
  }
  return 0;
}

}  // namespace tunora

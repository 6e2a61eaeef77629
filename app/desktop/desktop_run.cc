// The desktop program's run, step by step.
#include "app/desktop/desktop_run.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

#include "app/desktop/filler_program.h"
#include "app/program_files.h"
#include "app/start_up.h"
#include "network/local_copy_library.h"
#include "player/player.h"
#include "settings/folder_check.h"
#include "settings/settings_file.h"
#include "ui/open_paths.h"
#include "ui/qt/instance_hand_over.h"
#include "ui/shutdown.h"
#include "ui/status_text.h"
#include "util/xdg_folders.h"

namespace tunora {
namespace {

// What the window says when its data folder takes no files.
constexpr char kReadOnlyStatusText[] = "Data folder is read-only: nothing will be saved";
constexpr char kNotSavedMessage[] =
    "The settings, the play list and the rating changes of this session could not be saved: "
    "the data folder takes no files. ";
constexpr int32_t kNotSavedMessageSeconds = 30;

// How long a second start waits for the running player's answer to each hand-over.
constexpr int kHandOverAnswerMs = 1000;

}  // namespace

DesktopRun::DesktopRun(int& argc, char** argv, std::vector<std::string> paths)
    : paths_(std::move(paths)),
      trace_(std::getenv("TUNORA_TRACE") != nullptr),
      env_(Env::Default()),
      program_(env_),
      desktop_(argc, argv, findProgramFilesFolder(runningProgramPath())),
      random_(env_) {}

int DesktopRun::run(const std::string& command_line) {
  if (const std::optional<int> ended = runStartUp(command_line)) return *ended;
  addWindowWorkers();
  createPlayerAndWindow();
  connectStatusAndDialogs();
  registerExecutorWork();
  showWindow();
  if (!startThreads()) {
    stop();
    return 1;
  }
  offerPaths();
  return runAndSave();
}

std::optional<int> DesktopRun::runStartUp(const std::string& command_line) {
  StartUpInputs inputs;
  inputs.command_line = command_line;
  inputs.probe = systemDirectoryProbe();
  inputs.lock_path = instanceLockPath(processEnvironment());
  inputs.hand_over = [this](int64_t pid) {
    return ui::qt::handOverToPlayer(pid, paths_, kHandOverAnswerMs);
  };
  inputs.env = &env_;
  inputs.dialog = &desktop_.dialog();
  inputs.welcome = &desktop_.welcome();
  inputs.library = &program_.library();
  const StartUpOutcome outcome = startUp(inputs, program_.context(), program_.settings());
  // A termination signal during start-up: its dialogs were closed, and nothing more starts.
  if (desktop_.terminationRequested()) return 1;
  switch (outcome) {
    case StartUpOutcome::kRunMainWindow:
      break;
    case StartUpOutcome::kRunFiller:
      return runFillerProgram(program_, desktop_, trace_);
    case StartUpOutcome::kHandedOver:
      return 0;
    case StartUpOutcome::kAnotherPlayerRunning:
      std::fprintf(stderr, "tunora: another Tunora player runs and did not answer\n");
      return 1;
    case StartUpOutcome::kEndProgram:
      return 1;
  }
  data_dir_ = program_.context().data_directory;
  program_.setDataDirectory(data_dir_);
  // Checked before any thread starts, so that a missing file ends a program that has started
  // nothing.
  if (!desktop_.loadToolBar()) return 1;
  return std::nullopt;
}

void DesktopRun::addWindowWorkers() {
  // The window stays hidden until its children and threads are set up.
  window_state_.opening_database.store(1);
  // The cover loader comes first among the supervisor's workers, before the details loader
  // that the player adds. It reads no database, so a busy lock does not hold it back.
  program_.supervisor().addWorker([this] { return cover_loader_ && cover_loader_->wanted(); },
                                  [this] {
                                    if (cover_loader_) cover_loader_->run();
                                  },
                                  engine::WorkerNeeds::kNothing);
  // Then the quick-link list builder.
  program_.supervisor().addWorker([this] { return quick_links_ && quick_links_->wanted(); },
                                  [this] {
                                    if (quick_links_) quick_links_->run();
                                  });
  program_.words().build_request.store(engine::kBuildIdle);
}

void DesktopRun::createPlayerAndWindow() {
  media_.emplace(&desktop_.videoFrames());
  player::Player& player = program_.createPlayer(*media_, forwarding_);
  player_ = &player;
  Program& program = program_;
  desktop_.createWindow(ui::qt::DesktopWindowParts{
      program.lock(), program.settings(), program.playList(), program.status(), player.state(),
      program.context(), program.updateWriter(), program.updateQueue(), window_state_,
      [&program](int32_t state) {
        (void)program.threads().start(
            [&program, state] { (void)program.stateSwitcher().switchState(state); });
      }});
  forwarding_.target = &desktop_.playerWindow();
  if (trace_) {
    forwarding_.on_song_text = [this] {
      const std::string path = player_->state().playPath();
      if (path == traced_song_) return;
      traced_song_ = path;
      std::fprintf(stderr, "tunora: song %s\n", path.c_str());
    };
  }
  program_.attachWindow(&desktop_.channel());
  program_.setMessageDialog(&desktop_.dialog());
}

void DesktopRun::connectStatusAndDialogs() {
  Program& program = program_;
  Settings& settings = program.settings();
  sources_.emplace(ui::EngineStatusParts{program.builder(), program.buffering(),
                                         program.checksumPass(), program.updateWriter(),
                                         program.stateSwitcher(), program.supervisor(),
                                         program.songTable(), program.context().fixed_user});
  ui::StatusParts status_parts{program.words(),  settings,  program.playList(),
                               program.status(), *sources_, random_};
  std::function<void(const ui::StatusTexts&)> show = desktop_.statusShow();
  if (trace_) {
    show = [show](const ui::StatusTexts& texts) {
      std::string line;
      for (const auto& text : texts) line += " | " + text.value_or("-");
      std::fprintf(stderr, "tunora: status%s\n", line.c_str());
      show(texts);
    };
  }
  program.status().setRefresher(ui::statusRefresher(status_parts, show));
  desktop_.setRefreshStatus([&program] { program.status().refresh(); });
  desktop_.setDialogSources(ui::qt::DialogSources{env_, program.library(), program.threads(),
                                                  program.builder(), program.stateSwitcher(),
                                                  program.buffering()});
  desktop_.setLiveRecordCount([&program] { return program.library().table().liveCount(); });

  const AppContext& context = program.context();
  cover_loader_ = std::make_unique<ui::CoverLoader>(ui::CoverLoaderParts{
      window_state_, program.words(), settings, player_->state(), program.status(), random_,
      desktop_.coverPicture(), context.data_directory, context.program_directory,
      desktop_.repaintArea()});
  window_state_.cover.markForReload();
  quick_links_ = std::make_unique<ui::QuickLinkBuilder>(
      ui::QuickLinkParts{program.lock(), program.library(), settings, player_->state(),
                         window_state_, desktop_.repaintArea()});
}

void DesktopRun::registerExecutorWork() {
  Program& program = program_;
  AppContext& context = program.context();
  current_song_.emplace(player_->state());
  player_->state().setCurrentSlot(1);
  work_.emplace(engine::ExecutorParts{
      program.lock(), program.library(), program.settings(), program.playList(), program.status(),
      desktop_.channel(), desktop_.executorWindow(), desktop_.dialog(), *current_song_,
      context.fixed_user,
      [&context](int32_t value) { network::setChangeCounter(context, value); }});
  work_->registerInto(program.executor());

  // Shutdown after an unattended build asks first, on a thread of its own.
  ui::qt::Desktop& desktop = desktop_;
  program.setShutdownAfterBuild([&program, &desktop] {
    if (!ui::shutdownAfterBuildWanted(program.settings(), program.words())) return;
    (void)program.threads().start(
        [&desktop] { (void)ui::runShutdownAfterBuild(desktop.dialog(), desktop.powerOff()); });
  });
}

void DesktopRun::showWindow() {
  // The state's play list, read once with the library opened for reading.
  (void)program_.loadStatePlayList();
  if (trace_) desktop_.traceTiming();
  desktop_.showWindow(program_.context().play_on_start.load() != 0);
  // A data folder that takes no files loses the settings, the play list and the ratings: the
  // status bar says so from the start, and a message says it again when the window closes.
  if (!checkFolderWritable(data_dir_).ok()) {
    program_.words().data_read_only.store(1);
    program_.status().setText(kReadOnlyStatusText);
  }
  desktop_.setOnDestroy([&desktop = desktop_, data_dir = data_dir_] {
    const Status writable = checkFolderWritable(data_dir);
    if (writable.ok()) return;
    ui::MessageRequest request;
    request.message = std::string(kNotSavedMessage) + writable.message();
    request.first_button = ui::kOkButton;
    request.second_button = "";
    request.timeout_seconds = kNotSavedMessageSeconds;
    (void)desktop.dialog().show(request);
  });
  program_.status().refresh();
}

bool DesktopRun::startThreads() {
  if (!program_.startSupervisor() || !program_.startPlayer()) {
    std::fprintf(stderr, "tunora: cannot start the program's threads\n");
    return false;
  }
  // Buffering for the reloaded list, or the checksum pass.
  Settings& settings = program_.settings();
  if (settings.get(settings::kBuffer) != 0 && program_.playList().songsPrepared() > 5) {
    program_.buffering().setUpBuffer();
  } else {
    if (settings.get(settings::kBuffer) != 0) program_.buffering().setState(network::kBuffered);
    if (!program_.checksumPass().running()) program_.checksumPass().startChecksumPass();
  }
  window_state_.opening_database.store(0);
  if (!program_.startBuilder()) {
    std::fprintf(stderr, "tunora: cannot start the list builder\n");
    return false;
  }
  return true;
}

void DesktopRun::offerPaths() {
  Program& program = program_;
  ui::qt::Desktop& desktop = desktop_;
  desktop.setOnSessionEnd([&program, &desktop, data_dir = data_dir_] {
    program.noteEditQueueCount();
    (void)saveSettings(program.settings(), data_dir,
                       {&desktop.windowState(), &program.playListStore()});
  });
  // Paths handed over, from this start's command line and from later starts: imported and the
  // first song played, on a thread of their own.
  const ui::OpenPathsParts open_parts{
      ui::PlayListTopParts{program.lock(), program.library(), program.settings(),
                           program.playList(), program.status(), player_->state()},
      program.library().table(), program.context().network_refresh_counter, desktop.channel()};
  auto open_paths = [&program, open_parts, trace = trace_](std::vector<std::string> handed) {
    (void)program.threads().start([open_parts, handed = std::move(handed), trace] {
      const std::string opened = ui::openHandedPaths(open_parts, handed);
      if (trace) {
        std::fprintf(stderr, "tunora: opened %s\n", opened.empty() ? "nothing" : opened.c_str());
      }
    });
  };
  desktop.offerHandOver(open_paths);
  if (!paths_.empty()) open_paths(paths_);
  desktop.closeOnTerminationSignals();
}

int DesktopRun::runAndSave() {
  (void)desktop_.run();
  // Command 2031 stopped playback and destroyed the window: the threads end, then the settings
  // and the state's play list are saved.
  stop();
  program_.noteEditQueueCount();
  // Where the song playing stopped, in a file of its own beside the settings file.
  if (const Status resume = program_.saveResumePoint(); !resume.ok()) {
    std::fprintf(stderr, "tunora: where the song stopped was not kept: %s\n",
                 resume.message().c_str());
  }
  const Status saved = saveSettings(program_.settings(), data_dir_,
                                    {&desktop_.windowState(), &program_.playListStore()});
  if (!saved.ok()) {
    std::fprintf(stderr, "tunora: settings not saved: %s\n", saved.message().c_str());
    return 1;
  }
  return 0;
}

void DesktopRun::stop() {
  desktop_.detachWindow();
  program_.words().player_request.store(player::kRequestStop);
  program_.stopThreads();
  program_.status().setRefresher(nullptr);
  program_.attachWindow(nullptr);
  program_.setMessageDialog(nullptr);
}

}  // namespace tunora

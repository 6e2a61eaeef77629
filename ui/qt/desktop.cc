// The desktop side of the program.
#include "ui/qt/desktop.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

#include "ui/command_numbers.h"
#include "ui/program_file_names.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/filler_window.h"
#include "ui/qt/instance_hand_over.h"
#include "ui/qt/logind_power_off.h"
#include "ui/qt/main_window.h"
#include "ui/qt/mpris/mpris_service.h"
#include "ui/qt/mpris/song_notifier.h"
#include "ui/qt/program_icon.h"
#include "ui/qt/qt_message_dialog.h"
#include "ui/qt/text.h"
#include "ui/qt/toolbar_images.h"
#include "ui/qt/video_widget.h"
#include "ui/qt/welcome_dialog.h"
#include "ui/qt/window_bridge.h"
#include "ui/qt/window_media_control.h"
#include "ui/toolbar.h"

namespace tunora::ui::qt {
namespace {

void openLocalFile(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

// The termination signals as a file descriptor the event loop watches. They are blocked in
// this thread before any other thread starts, so every later thread inherits the mask and the
// signals wait for the descriptor.
int blockTerminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

}  // namespace

struct Desktop::Impl {
  Impl(int& argc, char** argv, const std::string& program_directory)
      : signal_fd(blockTerminationSignals()),
        app(argc, argv),
        program_dir(fromPath(program_directory)),
        icon(programIcon()),
        dialog(program_dir + kReadMeFile, icon) {
    QApplication::setApplicationName("Tunora");
    QApplication::setOrganizationName("Pellan");
    QApplication::setWindowIcon(icon);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  ~Impl() {
    instance.reset();
    mpris.reset();
    notifier.reset();
    dialog.close();
    bridge.reset();
    delete window;
    delete filler;
    if (signal_fd >= 0) ::close(signal_fd);
  }

  int signal_fd;
  QApplication app;
  QString program_dir;
  QIcon icon;
  QtMessageDialog dialog;
  QtWelcomeDialog welcome;
  LogindPowerOff power_off;
  CoverPicture cover;
  std::vector<QIcon> toolbar_images;
  MainWindow* window = nullptr;
  std::unique_ptr<VideoFrameSink> frames;
  std::unique_ptr<WindowBridge> bridge;
  std::function<void()> on_destroy;
  std::function<void()> on_session_end;
  QSocketNotifier* signal_notifier = nullptr;
  // Set by closeOnTerminationSignals: from then on a termination signal closes the window.
  bool signals_close_window = false;
  // A termination signal came during start-up.
  bool terminated = false;
  Settings* settings = nullptr;
  WindowState* window_state = nullptr;
  // The desktop's media controls on the session bus (none without a bus).
  std::unique_ptr<WindowMediaControl> media_control;
  std::unique_ptr<MprisService> mpris;
  std::unique_ptr<SongNotifier> notifier;
  QTimer* mpris_refresh = nullptr;
  // What a second start hands over to.
  std::unique_ptr<InstanceService> instance;
  // The media filler instance's window (instead of the main window).
  FillerWindow* filler = nullptr;
};

Desktop::Desktop(int& argc, char** argv, const std::string& program_directory)
    : impl_(std::make_unique<Impl>(argc, argv, program_directory)) {
  impl_->frames = std::make_unique<VideoFrameSink>(nullptr);
  QObject::connect(&impl_->app, &QGuiApplication::commitDataRequest, &impl_->app,
                   [this](QSessionManager&) {
                     if (impl_->on_session_end) impl_->on_session_end();
                   });
  watchTerminationSignals();
}

Desktop::~Desktop() = default;

MessageDialog& Desktop::dialog() { return impl_->dialog; }
WelcomeDialog& Desktop::welcome() { return impl_->welcome; }
PowerControl& Desktop::powerOff() { return impl_->power_off; }
VideoFrameConsumer& Desktop::videoFrames() { return *impl_->frames; }
PictureDecoder& Desktop::coverPicture() { return impl_->cover; }

bool Desktop::loadToolBar() {
  auto images = loadToolBarImages(impl_->program_dir);
  if (images) {
    impl_->toolbar_images = std::move(*images);
    return true;
  }
  if (ask(impl_->dialog, kToolBarMissing, kOkButton, kOpenDirectoryButton) == kSecondButton) {
    openLocalFile(impl_->program_dir);
  }
  return false;
}

void Desktop::createWindow(const DesktopWindowParts& parts) {
  MainWindowParts window_parts{
      parts.lock,         parts.settings,          parts.play_list, parts.status,
      parts.player,       parts.context,           parts.writer,    parts.queue,
      parts.window_state, impl_->dialog,           impl_->cover,    impl_->toolbar_images,
      impl_->icon,        parts.start_state_switch};
  impl_->window = new MainWindow(std::move(window_parts));
  // "Import music now" in the welcome dialog: the request waits for the executor's first run.
  impl_->welcome.postImportRequest(parts.lock);
  impl_->window->applySavedPlacement();
  impl_->dialog.setParentWidget(impl_->window);
  impl_->frames->setWidget(impl_->window->videoWidget());
  impl_->bridge = std::make_unique<WindowBridge>(impl_->window, parts.window_state, impl_->dialog,
                                                 impl_->cover);
  Settings* settings = &parts.settings;
  impl_->settings = settings;
  impl_->window_state = &parts.window_state;
  impl_->bridge->setOnTopSetting([settings] { return settings->get(settings::kOnTop) != 0; });
  impl_->media_control = std::make_unique<WindowMediaControl>(
      *impl_->window, parts.lock, parts.player, parts.settings, &impl_->cover);
  impl_->mpris = MprisService::start(*impl_->media_control);
  if (QDBusConnection::sessionBus().isConnected() &&
      notificationsWanted(parts.context.data_directory)) {
    impl_->notifier = std::make_unique<SongNotifier>();
  }
  if (impl_->mpris || impl_->notifier) {
    impl_->cover.keepArtFile(coverArtFolder(processEnvironment()));  // the picture for the desktop
    // Song changes, pauses and ratings reach the desktop within a second.
    impl_->mpris_refresh = new QTimer(impl_->window);
    QObject::connect(impl_->mpris_refresh, &QTimer::timeout, impl_->window, [this] {
      if (impl_->mpris) impl_->mpris->refresh();
      if (impl_->notifier) impl_->notifier->update(impl_->media_control->track());
    });
    impl_->mpris_refresh->start(1000);
  }
  impl_->window->setOnDestroy([this] {
    impl_->instance.reset();
    if (impl_->mpris_refresh != nullptr) impl_->mpris_refresh->stop();
    impl_->mpris.reset();
    impl_->notifier.reset();
    impl_->bridge->detach();
    if (impl_->on_destroy) impl_->on_destroy();
    impl_->dialog.close();
    impl_->window->hide();
    QCoreApplication::quit();
  });
}

engine::WindowChannel& Desktop::channel() { return impl_->window->channel(); }
player::PlayerWindow& Desktop::playerWindow() { return *impl_->bridge; }
engine::ExecutorWindow& Desktop::executorWindow() { return *impl_->bridge; }
WindowStateSource& Desktop::windowState() { return *impl_->bridge; }

std::function<void(const StatusTexts&)> Desktop::statusShow() {
  MainWindow* window = impl_->window;
  return [window](const StatusTexts& texts) {
    QMetaObject::invokeMethod(
        window, [window, texts] { window->showStatus(texts); }, Qt::QueuedConnection);
  };
}

std::function<void(const Rect&)> Desktop::repaintArea() {
  MainWindow* window = impl_->window;
  return [window](const Rect& r) {
    QMetaObject::invokeMethod(
        window, [window, r] { window->update(r.x, r.y, r.width, r.height); }, Qt::QueuedConnection);
  };
}

void Desktop::setLiveRecordCount(std::function<int32_t()> count) {
  impl_->window->setLiveRecordCount(std::move(count));
}

void Desktop::setDialogSources(const DialogSources& sources) {
  impl_->window->setDialogSources(sources);
}

void Desktop::setRefreshStatus(std::function<void()> refresh) {
  impl_->bridge->setRefreshStatus(std::move(refresh));
}

void Desktop::showWindow(bool playing) {
  MainWindow* window = impl_->window;
  window->applyOnTop(impl_->settings->get(settings::kOnTop) != 0);
  window->show();
  if (playing) window->setPlayButtonImage(kPauseButtonImage);
  window->raise();
  window->activateWindow();
}

void Desktop::offerHandOver(std::function<void(std::vector<std::string>)> open) {
  MainWindow* window = impl_->window;
  WindowState* state = impl_->window_state;
  InstanceService::Actions actions;
  actions.raise = [window, state] {
    if (state != nullptr && state->in_tray.load() != 0) {
      window->restoreFromTray();
      return;
    }
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
  };
  actions.open = std::move(open);
  impl_->instance = InstanceService::start(std::move(actions));
}

void Desktop::setOnDestroy(std::function<void()> on_destroy) {
  impl_->on_destroy = std::move(on_destroy);
}

void Desktop::setOnSessionEnd(std::function<void()> on_session_end) {
  impl_->on_session_end = std::move(on_session_end);
}

// The termination signals are watched from the start. During start-up (no window yet) one ends
// the start-up dialogs as their close boxes do, and the program then ends. Once a window exists
// a signal waits (the notifier is off) until closeOnTerminationSignals says the window is ready
// to run its close.
void Desktop::watchTerminationSignals() {
  if (impl_->signal_fd < 0) return;
  impl_->signal_notifier =
      new QSocketNotifier(impl_->signal_fd, QSocketNotifier::Read, &impl_->app);
  QObject::connect(impl_->signal_notifier, &QSocketNotifier::activated, &impl_->app, [this] {
    const bool window_up = impl_->window != nullptr || impl_->filler != nullptr;
    if (window_up && !impl_->signals_close_window) {
      impl_->signal_notifier->setEnabled(false);
      return;
    }
    signalfd_siginfo info;
    while (::read(impl_->signal_fd, &info, sizeof info) == sizeof info) {
    }
    if (!window_up) {
      impl_->terminated = true;
      impl_->welcome.close();
      impl_->dialog.close();
      return;
    }
    if (impl_->window != nullptr) impl_->window->requestClose();
    if (impl_->filler != nullptr) impl_->filler->close();
  });
}

void Desktop::closeOnTerminationSignals() {
  if (impl_->signal_notifier == nullptr) return;
  impl_->signals_close_window = true;
  impl_->signal_notifier->setEnabled(true);
}

bool Desktop::terminationRequested() const { return impl_->terminated; }

namespace {

int64_t monotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The calling thread's time waiting for a processor (ready to run, not running), in ns, from
// /proc; 0 when the kernel does not keep it.
int64_t runQueueNanos() {
  std::FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
  if (file == nullptr) return 0;
  long long on_cpu = 0, waiting = 0;
  const int read = std::fscanf(file, "%lld %lld", &on_cpu, &waiting);
  std::fclose(file);
  return read == 2 ? waiting : 0;
}

// Notes that the window has received its first paint event.
class FirstPaintProbe final : public QObject {
 public:
  FirstPaintProbe(QObject* parent, std::shared_ptr<bool> painted)
      : QObject(parent), painted_(std::move(painted)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      *painted_ = true;
      watched->removeEventFilter(this);
    }
    return false;
  }

 private:
  std::shared_ptr<bool> painted_;
};

// The gaps between a 5 ms timer's ticks on the window thread, less the 5 ms: the longest, and
// the longest once the time the thread only waited for a processor (a busy machine, not this
// program) is taken off. Each gap of the second kind above 16 ms is printed as it happens.
struct StallClock {
  int64_t last_tick = -1;   // ns
  int64_t last_queue = 0;   // ns
  int64_t longest = 0;      // ms
  int64_t longest_own = 0;  // ms

  void tick() {
    const int64_t now = monotonicNanos();
    const int64_t queue = runQueueNanos();
    if (last_tick >= 0) {
      const int64_t gap = (now - last_tick) / 1'000'000 - 5;
      const int64_t own = (now - last_tick - (queue - last_queue)) / 1'000'000 - 5;
      longest = std::max(longest, gap);
      longest_own = std::max(longest_own, own);
      if (own > 16) {
        std::fprintf(
            stderr,
            "tunora: event-loop stall %lld ms (%lld ms with the processor wait) at %lld ms\n",
            static_cast<long long>(own), static_cast<long long>(gap),
            static_cast<long long>(now / 1'000'000));
      }
    }
    last_tick = now;
    last_queue = queue;
  }
};

}  // namespace

void Desktop::traceTiming() {
  if (impl_->window == nullptr) return;
  auto painted = std::make_shared<bool>(false);
  impl_->window->installEventFilter(new FirstPaintProbe(impl_->window, painted));
  // A 5 ms timer. Its first tick after the window's first paint event comes when that first
  // frame is done: the window is on screen then. From there on, the gaps between its ticks tell
  // the loop's stalls.
  auto* timer = new QTimer(&impl_->app);
  auto clock = std::make_shared<StallClock>();
  QObject::connect(timer, &QTimer::timeout, &impl_->app, [clock, painted] {
    if (clock->last_tick >= 0) {
      clock->tick();
    } else if (*painted) {
      std::fprintf(stderr, "tunora: first paint at %lld ms\n",
                   static_cast<long long>(monotonicNanos() / 1'000'000));
      clock->tick();
    }
  });
  QObject::connect(&impl_->app, &QCoreApplication::aboutToQuit, &impl_->app, [clock] {
    std::fprintf(stderr, "tunora: longest event-loop stall %lld ms\n",
                 static_cast<long long>(clock->longest));
    std::fprintf(stderr, "tunora: longest event-loop stall without the processor wait %lld ms\n",
                 static_cast<long long>(clock->longest_own));
  });
  timer->setTimerType(Qt::PreciseTimer);
  timer->start(5);
}

// ---- The media filler instance ----

namespace {

// Prints the filler window's first paint and its titles.
class FillerTrace final : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* window = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      std::fprintf(stderr, "tunora: filler window shown: %s\n",
                   window->windowTitle().toUtf8().constData());
    } else if (event->type() == QEvent::WindowTitleChange) {
      std::fprintf(stderr, "tunora: filler title: %s\n",
                   window->windowTitle().toUtf8().constData());
    }
    return false;
  }

 private:
  bool painted_ = false;
};

}  // namespace

int Desktop::runFiller(const FillerWindowParts& parts, bool trace) {
  impl_->filler = new FillerWindow(parts);
  FillerWindow* window = impl_->filler;
  window->setWindowIcon(impl_->icon);
  impl_->dialog.setParentWidget(window);
  window->setOnClosed([] { QCoreApplication::quit(); });
  if (trace) window->installEventFilter(new FillerTrace(window));
  window->applyOnTop();
  window->show();
  window->raise();
  window->activateWindow();
  const int result = impl_->app.exec() == 0 ? 0 : 1;
  window->stopFill();
  impl_->dialog.close();
  return result;
}

int Desktop::run() { return impl_->app.exec() == 0 ? 0 : 1; }

void Desktop::detachWindow() {
  impl_->dialog.close();
  if (impl_->bridge) impl_->bridge->detach();
}

}  // namespace tunora::ui::qt

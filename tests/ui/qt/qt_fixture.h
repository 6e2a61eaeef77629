// The window tests' harness, offscreen: the whole program in virtual time (tests/support's
// ProgramRun) under the real main window, its dialog host and bridge; the event loop run until a
// condition holds; a dialog's controls found; rows of control -> stored field for round trips.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QSpinBox>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/executor_work.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/fake_media_window.h"
#include "tests/support/program_run.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/temp_dir.h"
#include "ui/current_song.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/main_window.h"
#include "ui/qt/program_icon.h"
#include "ui/qt/toolbar_images.h"
#include "ui/qt/window_bridge.h"

namespace tunora::ui::qt {

// Processes events until `done` holds or 10,000 passes went by; returns whether it holds. Each
// pass handles what is queued, then gives other threads 1 ms to queue more.
inline bool processEventsUntil(const std::function<bool()>& done) {
  for (int pass = 0; pass < 10000; ++pass) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (done()) return true;
    QThread::msleep(1);
  }
  return done();
}

// The child of `parent` named `name` (object name, else a button's text); a test failure when
// there is none.
template <typename T>
T* child(QObject* parent, const QString& name) {
  if (T* found = parent->findChild<T*>(name)) return found;
  for (QAbstractButton* b : parent->findChildren<QAbstractButton*>()) {
    if (T* found = qobject_cast<T*>(b); found && b->text() == name) return found;
  }
  ADD_FAILURE() << "no control " << name.toStdString();
  return nullptr;
}

inline void press(QObject* dialog, const QString& button) {
  if (auto* b = child<QAbstractButton>(dialog, button)) b->click();
}

// A control's value as text: a line's text, "1"/"0" for a box, a combo's index, a spin's value.
inline std::string shownValue(QWidget* w) {
  if (auto* line = qobject_cast<QLineEdit*>(w)) return line->text().toStdString();
  if (auto* box = qobject_cast<QAbstractButton*>(w)) return box->isChecked() ? "1" : "0";
  if (auto* combo = qobject_cast<QComboBox*>(w)) return std::to_string(combo->currentIndex());
  if (auto* spin = qobject_cast<QSpinBox*>(w)) return std::to_string(spin->value());
  return "<no control>";
}
inline void enterValue(QWidget* w, const std::string& value) {
  if (auto* line = qobject_cast<QLineEdit*>(w)) line->setText(QString::fromStdString(value));
  if (auto* box = qobject_cast<QAbstractButton*>(w)) box->setChecked(value == "1");
  if (auto* combo = qobject_cast<QComboBox*>(w)) combo->setCurrentIndex(std::stoi(value));
  if (auto* spin = qobject_cast<QSpinBox*>(w)) spin->setValue(std::stoi(value));
}

// One control of a dialog and the stored field behind it, both as texts: `before` is stored
// first and must show; the user enters `typed`, which must be stored on OK / Save.
struct ControlRow {
  QString control;
  std::function<std::string()> stored;
  std::function<void(const std::string&)> store;
  std::string before, typed;
};
inline ControlRow settingRow(Settings& s, QString control, settings::IntField f, std::string a,
                             std::string b) {
  return {control, [&s, f] { return std::to_string(s.get(f)); },
          [&s, f](const std::string& v) { s.set(f, std::stoi(v)); }, a, b};
}
inline ControlRow settingRow(Settings& s, QString control, settings::IntArrayField f, uint32_t i,
                             std::string a, std::string b) {
  return {control, [&s, f, i] { return std::to_string(s.get(f, i)); },
          [&s, f, i](const std::string& v) { s.set(f, i, std::stoi(v)); }, a, b};
}
inline ControlRow settingRow(Settings& s, QString control, settings::TextField f, std::string a,
                             std::string b) {
  return {control, [&s, f] { return s.text(f); },
          [&s, f](const std::string& v) { s.setText(f, v); }, a, b};
}
inline ControlRow settingRow(Settings& s, QString control, settings::TextArrayField f, uint32_t i,
                             std::string a, std::string b) {
  return {control, [&s, f, i] { return s.text(f, i); },
          [&s, f, i](const std::string& v) { s.setText(f, i, v); }, a, b};
}
inline void storeRows(const std::vector<ControlRow>& rows) {
  for (const ControlRow& r : rows) r.store(r.before);
}
// Each control shows its row's `before`; then the user enters `typed` into it.
inline void expectShownThenEnter(QObject* dialog, const std::vector<ControlRow>& rows) {
  for (const ControlRow& r : rows) {
    QWidget* w = child<QWidget>(dialog, r.control);
    EXPECT_EQ(w ? shownValue(w) : "", r.before) << r.control.toStdString();
    if (w) enterValue(w, r.typed);
  }
}
inline void expectStored(const std::vector<ControlRow>& rows) {
  for (const ControlRow& r : rows) {
    EXPECT_EQ(r.stored(), r.typed) << "stored from " << r.control.toStdString();
  }
}

class WindowTest : public ::testing::Test {
 protected:
  // A library of `songs` ("/music/song<i>.mp3" by "Artist <i>", ten minutes each) in the data
  // directory (none: the test wrote "Tunora.mbf" itself); `settings` adjusts the first run's
  // settings; without `player` only the supervisor runs.
  void startProgram(int songs = 4, const std::function<void(Settings&)>& settings = {},
                    bool player = true) {
    if (songs > 0) {
      ASSERT_TRUE(testing::writeSongTable(libraryPath(), testing::plainSongs(songs)));
    }
    for (int i = 0; i < songs; ++i) media_.setLength(songPath(i), 600000);
    run_ = std::make_unique<testing::ProgramRun>(env_, media_, dir_.folder(), [&](Settings& s) {
      s = testing::firstRunSettings();
      s.set(settings::kAutoBuild, 0);
      s.set(settings::kAutoPlay, 0);
      if (settings) settings(s);
    });
    Program& p = program();
    window_.emplace(
        MainWindowParts{p.lock(), p.settings(), p.playList(), p.status(), run_->player().state(),
                        p.context(), p.updateWriter(), p.updateQueue(), state_, dialog_, cover_,
                        loadToolBarImages(TUNORA_ASSETS_DIR "/").value_or(std::vector<QIcon>{}),
                        programIcon(), nullptr});
    window_->setDialogSources(
        {env_, p.library(), p.threads(), p.builder(), p.stateSwitcher(), p.buffering()});
    window_->resize(800, 600);
    window_->show();
    bridge_.emplace(&*window_, state_, dialog_, cover_);
    p.attachWindow(&window_->channel());
    p.setMessageDialog(&dialog_);
    current_song_.emplace(run_->player().state());
    engine::ExecutorParts parts{
        p.lock(), p.library(), p.settings(),   p.playList(), p.status(), window_->channel(),
        *bridge_, dialog_,     *current_song_, 999,          {}};
    work_.emplace(parts);
    work_->registerInto(p.executor());
    ASSERT_TRUE(player ? run_->start(false) : p.startSupervisor());
    clock_.emplace(env_);
  }
  void TearDown() override {
    if (!run_) return;
    window_->dialogs()->closeAll();
    bridge_->detach();
    clock_.reset();
    run_->stop();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    window_.reset();  // before the program whose settings and lists it shows
    run_.reset();
  }

  Program& program() { return run_->program(); }
  Settings& settings() { return program().settings(); }
  DialogHost& host() { return *window_->dialogs(); }
  static std::string songPath(int i) { return "/music/song" + std::to_string(i) + ".mp3"; }
  std::string libraryPath() const { return dir_.file("Tunora.mbf"); }

  testing::TempDir dir_;
  FakeEnv env_;
  FakeMediaWindow media_{env_};
  testing::ScriptedMessageDialog dialog_;
  std::unique_ptr<testing::ProgramRun> run_;
  WindowState state_;
  CoverPicture cover_;
  std::optional<MainWindow> window_;
  std::optional<WindowBridge> bridge_;
  std::optional<PlayerCurrentSong> current_song_;
  std::optional<engine::ExecutorWork> work_;
  std::optional<testing::ClockDriver> clock_;
};

}  // namespace tunora::ui::qt

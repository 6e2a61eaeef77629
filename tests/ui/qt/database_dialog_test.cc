// The Database dialog offscreen over a program with a FakeEnv: it opens with its settings and
// tooltips; a chosen and confirmed function runs on a program thread under grant 32 and its
// result shows; closing the dialog stops a running function and leaves no thread; refused
// inputs ask nothing; an import and "NewDB" report in the status lines.
#include "ui/qt/database_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/program.h"
#include "engine/lock_codes.h"
#include "import/import.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "settings/settings_defaults.h"
#include "tests/support/fake_env.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/qt/dialog_test_parts.h"
#include "tests/ui/qt/qt_test_support.h"
#include "ui/qt/dialog_host.h"

namespace tunora::ui::qt {
namespace {

using maintenance::DbFunction;

class NullChannel final : public engine::WindowChannel {
 public:
  void postCommand(int32_t, int32_t) override {}
};

// The window's actions: the keypad answers from a script (nullopt, "Cancel", once it is used up).
class KeypadActions final : public WindowActions {
 public:
  bool dialogOpen(WindowDialog) override { return false; }
  void openSearch(SearchMode, const std::string&) override {}
  void openDatabaseDialog() override {}
  void openOptionsDialog() override {}
  void openSongDetails(int32_t) override {}
  void openAbout() override {}
  std::optional<int32_t> showRateKeypad() override {
    ++keypad_shown;
    if (keypad.empty()) return std::nullopt;
    const int32_t answer = keypad.front();
    keypad.pop_front();
    return answer;
  }
  void launchFiller() override {}
  void setPlayButtonImage(int32_t) override {}
  void minimize() override {}
  void showMaximized() override {}
  void applyOnTop(bool) override {}
  void repaintAll() override { ++repaints; }
  void destroyWindow() override {}
  void startStateSwitch(int32_t) override {}
  int32_t focusedRow() override { return -1; }

  std::deque<int32_t> keypad;
  int keypad_shown = 0;
  int repaints = 0;
};

// Holds a function's run until the test opens the gate, then runs the real function.
class RunGate {
 public:
  maintenance::DbRunner runner() {
    return [this](DbFunction f, marlbase::TableHandle& t, const maintenance::DbInputs& in,
                  const maintenance::DbValues& v, const std::atomic<bool>* abort,
                  maintenance::DbProgress* progress) {
      {
        std::unique_lock lock(mu_);
        entered_ = true;
        // Bounded only so that a broken test cannot hang.
        (void)cv_.wait_for(lock, std::chrono::seconds(60), [&] { return open_; });
      }
      maintenance::DbResult result = maintenance::runDbFunction(f, t, in, v, abort, progress);
      std::lock_guard lock(mu_);
      result_ = result;
      return result;
    };
  }
  bool entered() {
    std::lock_guard lock(mu_);
    return entered_;
  }
  void open() {
    std::lock_guard lock(mu_);
    open_ = true;
    cv_.notify_all();
  }
  std::optional<maintenance::DbResult> result() {
    std::lock_guard lock(mu_);
    return result_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool entered_ = false;
  bool open_ = false;
  std::optional<maintenance::DbResult> result_;
};

// The request executor and the clock: whenever every counted thread sleeps, a waiting request is
// handed over first, then the clock moves to the next wake-up, so a worker never waits in vain.
class ExecutorClock {
 public:
  ExecutorClock(FakeEnv& env, engine::SharedLock& lock)
      : thread_([this, &env, &lock] {
          while (!stop_.load()) {
            if (env.waitUntilIdle(std::chrono::milliseconds(20))) {
              if (lock.words().request.load() != 0) (void)lock.handOver();
              (void)env.advanceWhenIdle(std::chrono::milliseconds(100),
                                        std::chrono::milliseconds(20));
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
          }
        }) {}
  ~ExecutorClock() {
    stop_.store(true);
    thread_.join();
  }
  ExecutorClock(const ExecutorClock&) = delete;
  ExecutorClock& operator=(const ExecutorClock&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class DatabaseDialogTest : public ::testing::Test {
 protected:
  DatabaseDialogTest() : program_(env_) {
    resetAll(program_.settings());
    library_path_ = dir_.file("Tunora.mbf");
    marlbase::TableHandle table;
    EXPECT_TRUE(createSongTable(table, library_path_));
    for (const char* path : {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"}) {
      const int32_t slot = table.allocate();
      table.writeText(slot, kColFileName, path);
      table.writeInt(slot, ratingColumn(2), 77);
      table.writeInt(slot, kColStartFrame, 40);
      songs_.push_back(slot);
    }
    table.close();
    program_.settings().setText(settings::kDatabasePath, library_path_);
    program_.settings().set(settings::kDbFunction, 8);
  }
  ~DatabaseDialogTest() override {
    if (dialog_) dialog_->close();
    flushDeletes();
    EXPECT_TRUE(runUntil([&] { return program_.threads().running() == 0; }));
  }

  DialogParts parts() { return dialogPartsOf(program_, env_, player_, messages_, channel_); }
  DatabaseDialog* open(DatabaseDialogHooks hooks) {
    dialog_ = new DatabaseDialog(parts(), actions_, std::move(hooks));
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->show();
    return dialog_;
  }
  bool runUntil(const std::function<bool()>& done) { return processEventsUntil(done); }
  static void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  template <typename T>
  T* child(const char* name) {
    T* found = dialog_->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  void click(const char* name) { child<QPushButton>(name)->click(); }
  uint32_t number(int32_t slot, int32_t column) {
    marlbase::TableHandle table;
    table.setPath(library_path_);
    EXPECT_TRUE(table.open().ok());
    const uint32_t value = table.readInt(slot, column).value_or(0);
    table.close();
    return value;
  }

  tunora::testing::TempDir dir_;
  FakeEnv env_;
  Program program_;
  ExecutorClock executor_{env_, program_.lock()};
  player::PlayerState player_;
  tunora::testing::ScriptedMessageDialog messages_;
  NullChannel channel_;
  KeypadActions actions_;
  std::string library_path_;
  std::vector<int32_t> songs_;
  QPointer<DatabaseDialog> dialog_;
};

TEST_F(DatabaseDialogTest, OpensOnceWithItsSettingsAndTooltipsAndClosesWithTheHost) {
  program_.settings().setText(settings::kImportSource, "/music/");
  QWidget window;
  DialogHost host(parts(), actions_, &window);
  EXPECT_FALSE(host.dialogOpen(WindowDialog::kDatabase));
  host.openDatabaseDialog();
  host.openDatabaseDialog();
  EXPECT_TRUE(host.dialogOpen(WindowDialog::kDatabase));
  const QList<DatabaseDialog*> opened = window.findChildren<DatabaseDialog*>();
  ASSERT_EQ(opened.size(), 1);
  dialog_ = opened.front();
  EXPECT_EQ(dialog_->line1(), "Idle");
  EXPECT_EQ(dialog_->line2().toStdString(), library_path_);
  EXPECT_EQ(child<QComboBox>("functionList")->currentIndex(), 8);
  EXPECT_EQ(child<QComboBox>("functionList")->count(), 11);
  EXPECT_EQ(child<QComboBox>("functionList")->itemText(0), "Save DB as Playlist");
  EXPECT_TRUE(child<QRadioButton>("folderRadio")->isChecked());
  EXPECT_EQ(child<QLineEdit>("importSource")->text(), "/music/");

  const std::vector<std::pair<const char*, const char*>> tips = {
      {"folderRadio", "Import from a folder"},
      {"playlistRadio", "Import from a playlist"},
      {"importSource", "Import source"},
      {"selectButton", "Select import source"},
      {"importButton", "Start Import"},
      {"functionList", "Database function select"},
      {"goButton", "Execute selected function"},
      {"changeDbButton", "Select another DataBase"},
      {"newDbButton", "Create new empty DataBase"},
      {"advancedButton", "Edit database defaults (Caution is recomended!)"},
      {"helpButton", "Quick Help file access"},
      {"okButton", "Close and save"},
      {"cancelButton", "Close without saving"}};
  for (const auto& [name, tip] : tips) {
    QWidget* widget = dialog_->findChild<QWidget*>(name);
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_EQ(widget->toolTip(), tip) << name;
  }

  if (const char* shots = std::getenv("TUNORA_SCREENSHOT_DIR")) {
    dialog_->adjustSize();
    dialog_->grab().save(QString(shots) + "/database_dialog.png");
  }

  click("helpButton");
  EXPECT_EQ(messages_.readMeOpenings(), 1);
  click("advancedButton");  // the Internals dialog is not in yet: nothing opens
  EXPECT_TRUE(messages_.requests().empty());

  host.closeAll();
  flushDeletes();
  EXPECT_FALSE(host.dialogOpen(WindowDialog::kDatabase));
  EXPECT_TRUE(dialog_.isNull());
}

TEST_F(DatabaseDialogTest, ConfirmedFunctionRunsOnAThreadAndShowsItsResult) {
  open({});
  child<QComboBox>("functionList")->setCurrentIndex(2);  // "Copy Ratings"
  actions_.keypad = {3, 5};
  messages_.script({kFirstButton, kFirstButton});
  program_.words().build_request.store(5);
  click("goButton");

  ASSERT_TRUE(
      runUntil([&] { return dialog_->line1() == "Finished" && dialog_->runningWork() == 0; }));
  maintenance::DbResult expected;
  expected.walked = 4;  // the blank record too
  expected.changed = 3;
  EXPECT_EQ(dialog_->line2().toStdString(), resultLine(DbFunction::kCopyRatings, expected));
  for (int32_t slot : songs_) EXPECT_EQ(number(slot, ratingColumn(4)), 77u);
  EXPECT_EQ(program_.settings().get(settings::kDbFunction), 2);
  EXPECT_EQ(program_.words().last_released.load(), engine::kCodeDatabaseFunction);
  EXPECT_EQ(program_.words().grant.load(), 0);
  EXPECT_EQ(program_.words().build_request.load(), engine::kBuildNow);
  EXPECT_EQ(program_.context().network_refresh_counter.load(), 100);
  EXPECT_FALSE(program_.library().table().isOpen());

  // Both confirmations: the notice with "OK", then the question.
  const std::vector<MessageRequest> asked = messages_.requests();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].message, "Copy Ratings from 3 to 5");
  EXPECT_EQ(asked[0].first_button, "OK");
  EXPECT_EQ(asked[0].second_button, "");
  EXPECT_EQ(asked[1].message, "Copy Ratings from 3 to 5");
  EXPECT_EQ(asked[1].first_button, "Yes, please run function");
  EXPECT_EQ(asked[1].second_button, "No, abort function");

  // "No, abort function": nothing runs.
  program_.words().last_released.store(0);
  child<QComboBox>("functionList")->setCurrentIndex(8);  // "Reset Start Points"
  messages_.script({kFirstButton, kSecondButton});
  click("goButton");
  EXPECT_EQ(messages_.requests().size(), 4u);
  EXPECT_EQ(dialog_->runningWork(), 0);
  EXPECT_EQ(program_.words().request.load(), 0);
  EXPECT_EQ(program_.words().last_released.load(), 0);
  EXPECT_EQ(number(songs_[0], kColStartFrame), 40u);
}

TEST_F(DatabaseDialogTest, ClosingTheDialogStopsARunningFunction) {
  RunGate gate;
  DatabaseDialogHooks hooks;
  hooks.runner = gate.runner();
  open(std::move(hooks));  // "Reset Start Points" is selected
  click("goButton");
  ASSERT_TRUE(runUntil([&] { return gate.entered(); }));
  EXPECT_EQ(program_.words().grant.load(), engine::kCodeDatabaseFunction);
  EXPECT_EQ(dialog_->runningWork(), 1);

  dialog_->close();
  gate.open();
  ASSERT_TRUE(runUntil([&] { return program_.threads().running() == 0; }));
  flushDeletes();
  EXPECT_TRUE(dialog_.isNull());
  ASSERT_TRUE(gate.result().has_value());
  EXPECT_TRUE(gate.result()->aborted);
  EXPECT_EQ(gate.result()->walked, 0);
  for (int32_t slot : songs_) EXPECT_EQ(number(slot, kColStartFrame), 40u);
  EXPECT_EQ(program_.words().grant.load(), 0);
  EXPECT_FALSE(program_.library().table().isOpen());
}

TEST_F(DatabaseDialogTest, RefusedOrCancelledInputsAskNothing) {
  open({});
  child<QComboBox>("functionList")->setCurrentIndex(2);  // "Copy Ratings"
  actions_.keypad = {3, 3};
  click("goButton");
  EXPECT_EQ(actions_.keypad_shown, 2);
  EXPECT_EQ(dialog_->line2(), "Copy Ratings refused: copying a user's ratings onto the same user");

  // "Cancel" on the keypad, and "D" for the first user, end before the second pick.
  actions_.keypad = {};
  click("goButton");
  actions_.keypad = {13, 4};
  click("goButton");
  EXPECT_EQ(actions_.keypad_shown, 4);

  // "Save DB as Playlist" with the file chooser cancelled.
  DatabaseDialogHooks hooks;
  int chooser_shown = 0;
  hooks.choosers.choose_file = [&](QWidget*, const std::string& proposed, int32_t filter,
                                   bool save) -> std::optional<std::string> {
    ++chooser_shown;
    EXPECT_TRUE(proposed.ends_with("/PL1.m3u"));
    EXPECT_EQ(filter, 1);
    EXPECT_TRUE(save);
    return std::nullopt;
  };
  dialog_->close();
  flushDeletes();
  open(std::move(hooks));
  child<QComboBox>("functionList")->setCurrentIndex(0);
  click("goButton");
  EXPECT_EQ(chooser_shown, 1);

  EXPECT_TRUE(messages_.requests().empty());
  EXPECT_EQ(program_.threads().running(), 0);
  EXPECT_EQ(program_.words().request.load(), 0);
  EXPECT_EQ(program_.words().last_released.load(), 0);
  EXPECT_EQ(number(songs_[0], ratingColumn(2)), 77u);
}

TEST_F(DatabaseDialogTest, ImportAndNewLibraryReportInTheStatusLines) {
  // An import from a folder typed without its closing "/".
  const std::string music = dir_.file("music");
  std::filesystem::create_directories(music);
  std::ofstream(music + "/one.mp3") << "x";
  std::ofstream(music + "/two.mp3") << "x";
  DatabaseDialogHooks hooks;
  int saves = 0;
  hooks.save_settings = [&saves] { ++saves; };
  const std::string fresh = dir_.file("Fresh.mbf");
  hooks.choosers.choose_file = [&](QWidget*, const std::string& start, int32_t filter,
                                   bool save) -> std::optional<std::string> {
    EXPECT_EQ(start, library_path_);
    EXPECT_EQ(filter, 3);
    EXPECT_TRUE(save);
    return fresh;
  };
  open(std::move(hooks));
  child<QLineEdit>("importSource")->setText(QString::fromStdString(music));
  click("importButton");
  EXPECT_FALSE(child<QPushButton>("goButton")->isEnabled());
  ASSERT_TRUE(runUntil([&] { return dialog_->runningWork() == 0; }));
  EXPECT_EQ(dialog_->line1(), media::kImportCompleteText);
  EXPECT_TRUE(dialog_->line2().startsWith("2 added")) << dialog_->line2().toStdString();
  EXPECT_EQ(program_.settings().text(settings::kImportSource), music + "/");
  EXPECT_EQ(program_.words().last_released.load(), engine::kCodeImport);
  EXPECT_TRUE(child<QPushButton>("goButton")->isEnabled());
  EXPECT_GE(actions_.repaints, 1);

  // "NewDB": a new library where no file was.
  click("newDbButton");
  ASSERT_TRUE(runUntil([&] { return dialog_->runningWork() == 0; }));
  EXPECT_EQ(dialog_->line2().toStdString(), fresh);
  EXPECT_EQ(program_.settings().text(settings::kDatabasePath), fresh);
  EXPECT_EQ(program_.words().last_released.load(), engine::kCodeDatabaseDialog);
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(std::filesystem::exists(fresh));
}

}  // namespace
}  // namespace tunora::ui::qt

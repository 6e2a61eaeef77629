// The Database dialog offscreen over the whole program: it shows the stored function, import
// source and library, and stores the function chosen and the source typed; a confirmed
// function runs on a program thread under grant 32 and its result shows; a refused input asks
// nothing; closing the dialog stops a running function and leaves no thread; an import and
// "NewDB" report in the status lines.
#include "ui/qt/database_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <condition_variable>
#include <fstream>

#include "engine/lock_codes.h"
#include "import/import.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/support/stored_fields.h"
#include "tests/ui/qt/qt_fixture.h"
#include "tests/ui/ui_fixture.h"

namespace tunora::ui::qt {
namespace {

using maintenance::DbFunction;

// Holds a function's run until the test opens the gate, then runs the real function.
class RunGate {
 public:
  maintenance::DbRunner runner() {
    return [this](DbFunction f, marlbase::TableHandle& t, const maintenance::DbInputs& in,
                  const maintenance::DbValues& v, const std::atomic<bool>* abort,
                  maintenance::DbProgress* progress) {
      entered.store(true);
      {
        std::unique_lock lock(mu_);
        (void)cv_.wait_for(lock, std::chrono::seconds(60), [&] { return open_; });  // bounded
      }
      const maintenance::DbResult result = maintenance::runDbFunction(f, t, in, v, abort, progress);
      aborted.store(result.aborted && result.walked == 0 ? 1 : 0);
      return result;
    };
  }
  void open() {
    std::lock_guard lock(mu_);
    open_ = true;
    cv_.notify_all();
  }
  std::atomic<bool> entered{false};
  std::atomic<int> aborted{-1};  // 1: the run stopped before its first record

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;
};

class DatabaseDialogTest : public WindowTest {
 protected:
  // Three songs in slots 1..3 with user 2's score 77 and start point 40.
  void SetUp() override {
    marlbase::TableHandle table;
    ASSERT_TRUE(createSongTable(table, libraryPath()));
    for (const char* path : {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"}) {
      const int32_t slot = table.allocate();
      table.writeText(slot, kColFileName, path);
      table.writeInt(slot, ratingColumn(2), 77);
      table.writeInt(slot, kColStartFrame, 40);
    }
    table.close();
    startProgram(
        0, [](Settings& s) { s.set(settings::kDbFunction, 8); }, false);
  }
  void TearDown() override {
    if (!run_) return;
    if (dialog_window_) dialog_window_->close();
    EXPECT_TRUE(processEventsUntil([&] { return workersDone(); }));
    WindowTest::TearDown();
  }
  DatabaseDialog* open(DatabaseDialogHooks hooks = {}) {
    dialog_window_ = new DatabaseDialog(dialogParts(), actions_, std::move(hooks));
    dialog_window_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_window_->show();
    return dialog_window_;
  }
  template <typename T = QPushButton>
  T* control(const char* name) {
    return child<T>(dialog_window_, name);
  }
  void click(const char* name) { control(name)->click(); }
  void choose(int function) { control<QComboBox>("functionList")->setCurrentIndex(function); }
  bool idle() {
    return processEventsUntil([&] { return dialog_window_->runningWork() == 0; });
  }
  // No dialog work left on a program thread (the supervisor's own runs on).
  bool workersDone() { return program().threads().running() <= 1; }
  uint32_t number(int32_t slot, int32_t column) {
    return testing::storedNumber(libraryPath(), slot, column);
  }

  testing::FakeActions actions_;
  QPointer<DatabaseDialog> dialog_window_;
};

TEST_F(DatabaseDialogTest, ShowsWhatIsStoredAndStoresTheChosenFunctionAndTheTypedSource) {
  settings().setText(settings::kImportSource, "/music/");
  host().openDatabaseDialog();
  host().openDatabaseDialog();  // once only
  const QList<DatabaseDialog*> opened = window_->findChildren<DatabaseDialog*>();
  ASSERT_EQ(opened.size(), 1);
  dialog_window_ = opened.front();
  EXPECT_EQ(dialog_window_->line1(), "Idle");
  EXPECT_EQ(dialog_window_->line2().toStdString(), libraryPath());
  EXPECT_EQ(control<QComboBox>("functionList")->currentIndex(), 8);
  EXPECT_TRUE(control<QRadioButton>("folderRadio")->isChecked());
  EXPECT_EQ(control<QLineEdit>("importSource")->text(), "/music/");

  click("helpButton");
  EXPECT_EQ(dialog_.readMeOpenings(), 1);
  host().closeAll();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(host().dialogOpen(WindowDialog::kDatabase));
  EXPECT_TRUE(dialog_window_.isNull());

  // "Copy Ratings" from user 3 to user 3 (the window's keypad faked): refused before anything is
  // asked, but the choice is kept.
  open();
  choose(2);
  actions_.keypad_answer = 3;
  click("goButton");
  EXPECT_EQ(dialog_window_->line2(),
            "Copy Ratings refused: copying a user's ratings onto the same user");
  EXPECT_EQ(settings().get(settings::kDbFunction), 2);
  EXPECT_TRUE(dialog_.requests().empty());
  EXPECT_EQ(number(1, ratingColumn(2)), 77u);
  // Opened again, it shows the stored choice.
  dialog_window_->close();
  open();
  EXPECT_EQ(control<QComboBox>("functionList")->currentIndex(), 2);
}

TEST_F(DatabaseDialogTest, ConfirmedFunctionRunsOnAThreadAndShowsItsResult) {
  open();  // "Reset Start Points" is selected
  // "No, abort function": nothing runs.
  dialog_.script({kFirstButton, kSecondButton});
  click("goButton");
  EXPECT_EQ(dialog_.requests().size(), 2u);
  EXPECT_EQ(dialog_window_->runningWork(), 0);
  EXPECT_EQ(number(1, kColStartFrame), 40u);

  dialog_.script({kFirstButton, kFirstButton});
  program().words().build_request.store(5);
  click("goButton");
  ASSERT_TRUE(processEventsUntil(
      [&] { return dialog_window_->line1() == "Finished" && dialog_window_->runningWork() == 0; }));
  for (int32_t slot = 1; slot <= 3; ++slot) EXPECT_EQ(number(slot, kColStartFrame), 0u) << slot;
  EXPECT_EQ(program().words().last_released.load(), engine::kCodeDatabaseFunction);
  EXPECT_EQ(program().words().grant.load(), 0);
  EXPECT_EQ(program().words().build_request.load(), engine::kBuildNow);
  EXPECT_FALSE(program().library().table().isOpen());
}

TEST_F(DatabaseDialogTest, ClosingTheDialogStopsARunningFunction) {
  RunGate gate;
  DatabaseDialogHooks hooks;
  hooks.runner = gate.runner();
  open(std::move(hooks));  // "Reset Start Points"
  click("goButton");
  ASSERT_TRUE(processEventsUntil([&] { return gate.entered.load(); }));
  EXPECT_EQ(program().words().grant.load(), engine::kCodeDatabaseFunction);
  dialog_window_->close();
  gate.open();
  ASSERT_TRUE(processEventsUntil([&] { return workersDone(); }));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dialog_window_.isNull());
  EXPECT_EQ(gate.aborted.load(), 1);
  for (int32_t slot = 1; slot <= 3; ++slot) EXPECT_EQ(number(slot, kColStartFrame), 40u) << slot;
  EXPECT_EQ(program().words().grant.load(), 0);
}

TEST_F(DatabaseDialogTest, ImportAndNewLibraryReportInTheStatusLinesAndStoreTheirPaths) {
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
    EXPECT_EQ(start, libraryPath());
    EXPECT_EQ(filter, 3);
    EXPECT_TRUE(save);
    return fresh;
  };
  open(std::move(hooks));
  control<QLineEdit>("importSource")->setText(QString::fromStdString(music));
  click("importButton");
  EXPECT_FALSE(control("goButton")->isEnabled());
  ASSERT_TRUE(idle());
  EXPECT_TRUE(dialog_window_->line2().startsWith("2 added"))
      << dialog_window_->line2().toStdString();
  EXPECT_EQ(settings().text(settings::kImportSource), music + "/");
  EXPECT_EQ(program().words().last_released.load(), engine::kCodeImport);

  // "NewDB": a new library where no file was.
  click("newDbButton");
  ASSERT_TRUE(idle());
  EXPECT_EQ(dialog_window_->line2().toStdString(), fresh);
  EXPECT_EQ(settings().text(settings::kDatabasePath), fresh);
  EXPECT_EQ(program().words().last_released.load(), engine::kCodeDatabaseDialog);
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(std::filesystem::exists(fresh));
}

}  // namespace
}  // namespace tunora::ui::qt

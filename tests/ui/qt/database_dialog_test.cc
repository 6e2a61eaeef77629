// The Database dialog offscreen over the whole program: it shows the stored function, import
// source and library, and stores the function chosen; a refused input asks nothing; no dialog
// thread is left after. (A confirmed function's run is the database work's test.)
#include "ui/qt/database_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/support/stored_fields.h"
#include "tests/ui/qt/qt_fixture.h"
#include "tests/ui/ui_fixture.h"

namespace tunora::ui::qt {
namespace {

class DatabaseDialogTest : public WindowTest {
 protected:
  // A song in slot 1 with user 2's score 77.
  void SetUp() override {
    marlbase::TableHandle table;
    ASSERT_TRUE(createSongTable(table, libraryPath()));
    table.writeInt(table.allocate(), ratingColumn(2), 77);
    table.close();
    startProgram(
        0, [](Settings& s) { s.set(settings::kDbFunction, 8); }, false);
  }
  void TearDown() override {
    if (!run_) return;
    if (dialog_window_) dialog_window_->close();
    // No dialog work left on a program thread (the supervisor's own runs on).
    EXPECT_TRUE(processEventsUntil([&] { return program().threads().running() <= 1; }));
    WindowTest::TearDown();
  }
  void open() {
    dialog_window_ = new DatabaseDialog(host().parts(), actions_, {});
    dialog_window_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_window_->show();
  }
  template <typename T = QPushButton>
  T* control(const char* name) {
    return child<T>(dialog_window_, name);
  }

  testing::FakeActions actions_;
  QPointer<DatabaseDialog> dialog_window_;
};

TEST_F(DatabaseDialogTest, ShowsWhatIsStoredAndStoresTheChosenFunction) {
  settings().setText(settings::kImportSource, "/music/");
  host().openDatabaseDialog();
  host().openDatabaseDialog();  // once only
  const QList<DatabaseDialog*> opened = window_->findChildren<DatabaseDialog*>();
  ASSERT_EQ(opened.size(), 1);
  dialog_window_ = opened.front();
  EXPECT_EQ(dialog_window_->line2().toStdString(), libraryPath());
  EXPECT_EQ(control<QComboBox>("functionList")->currentIndex(), 8);
  EXPECT_TRUE(control<QRadioButton>("folderRadio")->isChecked());
  EXPECT_EQ(control<QLineEdit>("importSource")->text(), "/music/");

  host().closeAll();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(host().dialogOpen(WindowDialog::kDatabase));
  EXPECT_TRUE(dialog_window_.isNull());

  // "Copy Ratings" from user 3 to user 3 (the window's keypad faked): refused before anything is
  // asked, but the choice is kept.
  open();
  control<QComboBox>("functionList")->setCurrentIndex(2);
  actions_.keypad_answer = 3;
  control("goButton")->click();
  EXPECT_EQ(dialog_window_->line2(),
            "Copy Ratings refused: copying a user's ratings onto the same user");
  EXPECT_EQ(settings().get(settings::kDbFunction), 2);
  EXPECT_TRUE(dialog_.requests().empty());
  EXPECT_EQ(testing::storedNumber(libraryPath(), 1, ratingColumn(2)), 77u);
  // Opened again, it shows the stored choice.
  dialog_window_->close();
  open();
  EXPECT_EQ(control<QComboBox>("functionList")->currentIndex(), 2);
}

}  // namespace
}  // namespace tunora::ui::qt

// The main window offscreen: what it is made of, the play list view following the engine's list
// as other threads change it, and a toolbar click, a key and a posted command each reaching the
// player request word; minimizing with "Tray" on where no tray exists leaves it reachable.
#include "ui/qt/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <atomic>
#include <optional>
#include <thread>

#include "app/program.h"
#include "player/player.h"
#include "tests/ui/qt/qt_test_support.h"
#include "ui/command_numbers.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/qt_message_dialog.h"
#include "ui/qt/toolbar_images.h"
#include "ui/qt/window_bridge.h"
#include "tests/support/fake_env.h"

namespace tunora::ui::qt {
namespace {

engine::PlayListRow song(int n) {
  const std::string name = "Song " + std::to_string(n);
  return {name, "Artist", "Album", "/music/" + name + ".mp3", "MP3"};
}

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : program_(env_), dialog_("/nowhere/ReadMe.htm", QIcon()) {
    program_.settings().set(settings::kColumnWidth, 0, 210);
    auto images = loadToolBarImages(TUNORA_ASSETS_DIR "/");
    EXPECT_TRUE(images.has_value());
    window_.emplace(MainWindowParts{
        program_.lock(), program_.settings(), program_.playList(), program_.status(), player_,
        program_.context(), program_.updateWriter(), program_.updateQueue(), state_, dialog_,
        cover_, images.value_or(std::vector<QIcon>{}), QIcon(), nullptr});
    window_->resize(800, 600);
    window_->show();
  }
  engine::SharedWords& words() { return program_.words(); }

  FakeEnv env_;
  Program program_;
  player::PlayerState player_;
  WindowState state_;
  QtMessageDialog dialog_;
  CoverPicture cover_;
  std::optional<MainWindow> window_;
};

TEST_F(MainWindowTest, WindowHasItsControls) {
  EXPECT_EQ(window_->windowTitle(), "Tunora");
  EXPECT_TRUE(window_->findChildren<QMenuBar*>().isEmpty());

  QToolBar* toolbar = window_->toolBar();
  int buttons = 0, separators = 0;
  for (QAction* action : toolbar->actions()) {
    if (action->isSeparator()) {
      ++separators;
      continue;
    }
    ++buttons;
    EXPECT_FALSE(action->icon().isNull()) << action->toolTip().toStdString();
    EXPECT_EQ(toolbar->widgetForAction(action)->accessibleName(), action->toolTip());
  }
  EXPECT_EQ(buttons, 11);
  EXPECT_EQ(separators, 2);
  EXPECT_EQ(toolbar->actions()[0]->toolTip(), "Start Tunora");
  EXPECT_EQ(toolbar->actions()[1]->toolTip(), "Stop Tunora");

  EXPECT_EQ(window_->slider()->minimum(), 0);
  EXPECT_EQ(window_->slider()->maximum(), 1000);

  QTableView* list = window_->listView();
  ASSERT_EQ(list->model()->columnCount(), 5);
  QStringList headers;
  for (int c = 0; c < 5; ++c) headers << list->model()->headerData(c, Qt::Horizontal).toString();
  EXPECT_EQ(headers, QStringList({"Title", "Artist", "Album", "FileName", "Type"}));
  EXPECT_EQ(list->columnWidth(0), 210);  // the saved width
  EXPECT_TRUE(list->showGrid());
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);

  // 800 wide: four status parts ending at W/4, W/2, 3W/4 and W.
  const auto& parts = window_->statusParts();
  EXPECT_EQ(parts[0]->text(), "Tunora 1.9");
  EXPECT_EQ(parts[0]->geometry().right() + 1, 200);
  EXPECT_EQ(parts[3]->geometry().right() + 1, 800);
  EXPECT_EQ(state_.client_width.load(), 800);
  EXPECT_EQ(state_.client_height.load(), 600);
}

// About counts songs: a library of 41 imported songs holds 42 live records with its blank
// first one.
TEST_F(MainWindowTest, AboutCountsTheSongsNotTheBlankFirstRecord) {
  std::atomic<int32_t> live{42};
  window_->setLiveRecordCount([&live] { return live.load(); });
  EXPECT_EQ(window_->aboutInfo().song_count, 41);
  live.store(1);  // a new library: only the blank record
  EXPECT_EQ(window_->aboutInfo().song_count, 0);
}

TEST_F(MainWindowTest, ListViewFollowsTheEnginesListChangedOnOtherThreads) {
  QAbstractItemModel* model = window_->listView()->model();
  std::thread builder([this] {
    for (int n = 1; n <= 12; ++n) program_.playList().append(song(n));
  });
  builder.join();
  ASSERT_TRUE(processEventsUntil([&] { return model->rowCount() == 12; }));
  EXPECT_EQ(model->index(0, 0).data().toString(), "Song 1");
  EXPECT_EQ(model->index(11, 3).data().toString(), "/music/Song 12.mp3");

  std::thread executor([this] {
    program_.playList().removeFirst(3);
    program_.playList().insertAtTop(song(99));
    (void)program_.playList().removeRow(2);
  });
  executor.join();
  ASSERT_TRUE(processEventsUntil([&] { return model->rowCount() == 9; }));
  QStringList titles;
  for (int row = 0; row < 4; ++row) titles << model->index(row, 0).data().toString();
  EXPECT_EQ(titles, QStringList({"Song 99", "Song 4", "Song 6", "Song 7"}));
}

TEST_F(MainWindowTest, ToolbarClickReachesThePlayerRequestWord) {
  auto* stop = window_->findChild<QToolButton*>("command2");
  ASSERT_NE(stop, nullptr);
  stop->click();
  EXPECT_EQ(words().player_request.load(), player::kRequestStop);
}

TEST_F(MainWindowTest, KeyOnAnyChildReachesThePlayerRequestWord) {
  window_->listView()->setFocus();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_R, Qt::NoModifier, "r");
  QCoreApplication::sendEvent(window_->listView(), &press);
  // R posts command 3, which asks the player to go back to the start of the song.
  ASSERT_TRUE(processEventsUntil([&] { return words().player_request.load() != 0; }));
  EXPECT_EQ(words().player_request.load(), player::kRequestRestart);
}

TEST_F(MainWindowTest, CommandPostedFromAnotherThreadReachesThePlayerRequestWord) {
  std::thread worker([this] { window_->channel().postCommand(kCmdPlayLast, 0); });
  worker.join();
  ASSERT_TRUE(processEventsUntil([&] { return words().player_request.load() != 0; }));
  EXPECT_EQ(words().player_request.load(), player::kRequestBack);
}

TEST_F(MainWindowTest, BridgeAnswersFromTheWindowThreadAndStopsWaitingOnceDetached) {
  for (int n = 1; n <= 3; ++n) program_.playList().append(song(n));
  QAbstractItemModel* model = window_->listView()->model();
  ASSERT_TRUE(processEventsUntil([&] { return model->rowCount() == 3; }));
  window_->listView()->setCurrentIndex(model->index(1, 0));
  WindowBridge bridge(&*window_, state_, dialog_, cover_);
  std::atomic<int32_t> row{-2};
  std::thread executor([&] { row.store(bridge.focusedRow()); });
  EXPECT_TRUE(processEventsUntil([&] { return row.load() != -2; }));
  executor.join();
  EXPECT_EQ(row.load(), 1);

  // Once the window is going away, a caller no longer waits for it (events are not processed
  // here at all), and a call it left behind does not run.
  row.store(-2);
  std::thread late([&] { row.store(bridge.focusedRow()); });
  bridge.detach();
  late.join();
  EXPECT_EQ(row.load(), -1);
  for (int pass = 0; pass < 20; ++pass) QCoreApplication::processEvents();
  EXPECT_EQ(row.load(), -1);
}

TEST_F(MainWindowTest, MinimizingWithTrayOnAndNoTrayLeavesTheWindowReachable) {
  if (QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "a tray exists here";
  program_.settings().set(settings::kTray, 1);
  window_->showMinimized();
  for (int pass = 0; pass < 50; ++pass) {  // the state change and any call it queued
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  EXPECT_FALSE(window_->isHidden());
  EXPECT_EQ(state_.in_tray.load(), 0);
}

}  // namespace
}  // namespace tunora::ui::qt

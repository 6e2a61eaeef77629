// The main window offscreen over the whole program: a toolbar click, a key and a posted command
// each reach the player, the bridge, and a double-click in the play list plays that song while
// the view follows the list the executor changed. (The stars, the video's picture and the window's
// look are measured in the desktop program's screenshots.)
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <algorithm>
#include <thread>

#include "tests/ui/qt/qt_fixture.h"
#include "ui/command_numbers.h"

namespace tunora::ui::qt {
namespace {

using MainWindowTest = WindowTest;

// The player thread is not started here: the request word keeps what was asked.
TEST_F(MainWindowTest, AClickAKeyAndAPostedCommandReachThePlayer) {
  startProgram(4, {}, false);
  const std::vector<std::pair<const char*, std::function<void()>>> inputs = {
      {"the Stop button", [&] { window_->findChild<QToolButton*>("command2")->click(); }},
      {"the key R",
       [&] {
         QKeyEvent press(QEvent::KeyPress, Qt::Key_R, Qt::NoModifier, "r");
         QCoreApplication::sendEvent(window_->listView(), &press);
       }},
      {"a command from another thread", [&] {
         std::thread worker([&] { window_->channel().postCommand(kCmdPlayLast, 0); });
         worker.join();
       }}};
  const int32_t expected[] = {player::kRequestStop, player::kRequestRestart, player::kRequestBack};
  std::atomic<int32_t>& request = program().words().player_request;
  for (size_t i = 0; i < inputs.size(); ++i) {
    request.store(0);
    inputs[i].second();
    EXPECT_TRUE(processEventsUntil([&] { return request.load() == expected[i]; }))
        << inputs[i].first << ": " << request.load();
  }
}

TEST_F(MainWindowTest, BridgeAnswersFromTheWindowThreadAndStopsWaitingOnceDetached) {
  startProgram(4, {}, false);
  for (int n = 1; n <= 3; ++n) program().playList().append({"S", "A", "B", songPath(n), "MP3"});
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

// The play list's double-click through the whole program, far down a long list: the rows above
// the clicked one go, the clicked song plays and the view shows the top again. (What the request
// does while a song plays is the executor's test.)
using PlayListDoubleClickTest = WindowTest;

TEST_F(PlayListDoubleClickTest, DropsTheRowsAbovePlaysTheClickedSongAndShowsTheTop) {
  const int songs = 100;
  startProgram(songs);
  for (int i = 0; i < songs - 1; ++i) {
    program().playList().append({"Title", "Artist", "Album", songPath(i), "Audio"});
  }
  auto rows = [&] { return window_->listView()->model()->rowCount(); };
  auto lockIdle = [&] {
    return program().words().request.load() == 0 && program().words().grant.load() == 0;
  };
  ASSERT_TRUE(processEventsUntil([&] { return rows() == songs - 1 && lockIdle(); }));
  QTableView* view = window_->listView();
  const int clicked = 60;
  view->scrollTo(view->model()->index(clicked, 1), QAbstractItemView::PositionAtCenter);
  QCoreApplication::processEvents();
  ASSERT_GT(view->verticalScrollBar()->value(), 0);
  // Press, release, double-click and release on the row, as the mouse gives them.
  const QPointF at = view->visualRect(view->model()->index(clicked, 1)).center();
  for (auto [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                               {QEvent::MouseButtonRelease, Qt::NoButton},
                               {QEvent::MouseButtonDblClick, Qt::LeftButton},
                               {QEvent::MouseButtonRelease, Qt::NoButton}}) {
    QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &event);
  }
  // Until the song plays (the player's switch done, its repaint made) and the view shows the rest.
  const int32_t left = songs - 2 - clicked;
  const int32_t repaints = run_->window().text_repaints.load();
  ASSERT_TRUE(processEventsUntil([&] {
    return media_.openPath() == songPath(clicked) && program().words().playing.load() != 0 &&
           run_->player().state().position.load() >= 0 &&
           run_->window().text_repaints.load() > repaints && program().playList().size() == left &&
           rows() == left;
  })) << rows();
  const std::vector<std::string> calls = media_.calls();
  EXPECT_EQ(
      std::count_if(calls.begin(), calls.end(), [](auto& c) { return c.rfind("open", 0) == 0; }),
      1);
  EXPECT_TRUE(dialog_.requests().empty());
  ASSERT_TRUE(processEventsUntil([&] { return lockIdle(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(view->verticalScrollBar()->value(), 0);
  EXPECT_EQ(view->rowAt(0), 0) << "the top row shows";
}

}  // namespace
}  // namespace tunora::ui::qt

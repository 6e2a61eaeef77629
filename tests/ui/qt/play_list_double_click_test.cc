// The play list's double-click through the whole program, offscreen: the window over a program
// whose player plays on the fake media window and whose request executor does the window's
// requests. Double-clicking a row drops the rows above it and plays the clicked song, whether
// a song was playing or not. Virtual time: the clock moves only while every thread of the
// program sleeps, and the window's events are handled between the steps.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "engine/executor_work.h"
#include "player/player.h"
#include "tests/engine/builder_fixture.h"
#include "tests/player/fake_player_window.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/fake_media_window.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/temp_dir.h"
#include "ui/current_song.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_message_dialog.h"
#include "ui/qt/window_bridge.h"

namespace tunora::ui::qt {
namespace {

constexpr int kSongs = 8;
constexpr int kLongList = 100;
constexpr int64_t kSongLength = 600000;  // no song ends by itself

// Handles the window's events and moves the clock whenever every counted thread sleeps, until
// `done` holds (looked at only while they all sleep). Bounded by a count of passes.
bool driveWithEvents(FakeEnv& env, const std::function<bool()>& done) {
  for (int pass = 0; pass < 10000; ++pass) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!env.waitUntilIdle(std::chrono::milliseconds(2))) continue;
    QCoreApplication::processEvents(QEventLoop::AllEvents);  // what they queued before sleeping
    if (env.waitUntilIdle(std::chrono::milliseconds(2)) && done()) return true;
    (void)env.advanceWhenIdle(std::chrono::milliseconds(10), std::chrono::milliseconds(2));
  }
  return false;
}

class PlayListDoubleClickTest : public ::testing::Test {
 protected:
  PlayListDoubleClickTest() : dialog_("/nowhere/ReadMe.htm", QIcon()) {}

  // The library's songs; the list holds all but the last.
  virtual int songCount() const { return kSongs; }

  void SetUp() override {
    const int count = songCount();
    const std::string table_path = dir_.file("Tunora.mbf");
    std::vector<testing::TestSong> songs;
    for (int i = 0; i < count; ++i) songs.push_back({songPath(i), "Artist " + std::to_string(i)});
    ASSERT_TRUE(testing::writeSongTable(table_path, songs));
    for (int i = 0; i < count; ++i) media_.setLength(songPath(i), kSongLength);
    Settings& settings = program_.settings();
    settings = testing::firstRunSettings();
    settings.setText(settings::kDatabasePath, table_path);
    settings.set(settings::kAutoBuild, 0);
    settings.set(settings::kAutoPlay, 0);
    for (int i = 0; i < count - 1; ++i) {
      program_.playList().append({"Title " + std::to_string(i), "Artist " + std::to_string(i),
                                  "Album", songPath(i), "Audio"});
    }

    player_ = &program_.createPlayer(media_, player_window_);
    window_.emplace(MainWindowParts{program_.lock(), settings, program_.playList(),
                                    program_.status(), player_->state(), program_.context(),
                                    program_.updateWriter(), program_.updateQueue(), state_,
                                    dialog_, cover_, std::vector<QIcon>{}, QIcon(), nullptr});
    window_->resize(800, 600);
    window_->show();
    bridge_.emplace(&*window_, state_, dialog_, cover_);
    program_.attachWindow(&window_->channel());
    current_song_.emplace(player_->state());
    work_.emplace(engine::ExecutorParts{program_.lock(), program_.library(), settings,
                                        program_.playList(), program_.status(),
                                        window_->channel(), *bridge_, questions_, *current_song_,
                                        999, {}});
    work_->registerInto(program_.executor());
    ASSERT_TRUE(program_.startSupervisor());
    ASSERT_TRUE(program_.startPlayer());
    ASSERT_TRUE(driveWithEvents(env_, [&] { return rows() == count - 1; }));
  }
  void TearDown() override {
    bridge_->detach();
    program_.words().stopping.store(1);
    program_.words().player_request.store(player::kRequestStop);
    {
      testing::ClockDriver clock(env_, std::chrono::milliseconds(1000));
      program_.stopThreads();
    }
    program_.attachWindow(nullptr);
  }

  std::string songPath(int i) const { return dir_.file("song" + std::to_string(i) + ".wav"); }
  int rows() const { return window_->listView()->model()->rowCount(); }
  std::vector<std::string> listPaths() {
    std::vector<std::string> paths;
    for (int32_t row = 0; row < static_cast<int32_t>(program_.playList().size()); ++row) {
      if (auto texts = program_.playList().row(row)) paths.push_back((*texts)[3]);
    }
    return paths;
  }
  // Press, release, double-click and release on the row, as the mouse gives them.
  void doubleClickRow(int row) {
    QTableView* view = window_->listView();
    const QPointF at = view->visualRect(view->model()->index(row, 1)).center();
    QWidget* target = view->viewport();
    const QPointF global = target->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release_again(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                              Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
    QCoreApplication::sendEvent(target, &twice);
    QCoreApplication::sendEvent(target, &release_again);
  }
  // Until `path` plays (the player's switch done, its repaint made) and the view shows `rows`.
  bool untilPlaying(const std::string& path, int32_t list_rows) {
    return driveWithEvents(env_, [&] {
      return media_.openPath() == path && player_->state().position.load() >= 0 &&
             program_.words().playing.load() != 0 &&
             player_window_.text_repaints.load() > repaints_seen_ &&
             static_cast<int32_t>(program_.playList().size()) == list_rows && rows() == list_rows;
    });
  }
  bool lockIdle() {
    return program_.words().request.load() == 0 && program_.words().grant.load() == 0;
  }
  std::vector<std::string> opened() const {
    std::vector<std::string> files;
    for (const std::string& call : media_.calls()) {
      if (call.rfind("open", 0) == 0) files.push_back(call);
    }
    return files;
  }

  testing::TempDir dir_;
  FakeEnv env_;
  FakeMediaWindow media_{env_};
  testing::FakePlayerWindow player_window_;
  testing::ScriptedMessageDialog questions_;
  QtMessageDialog dialog_;
  Program program_{env_};
  player::Player* player_ = nullptr;
  WindowState state_;
  CoverPicture cover_;
  std::optional<MainWindow> window_;
  std::optional<WindowBridge> bridge_;
  std::optional<PlayerCurrentSong> current_song_;
  std::optional<engine::ExecutorWork> work_;
  int32_t repaints_seen_ = 0;
};

TEST_F(PlayListDoubleClickTest, DropsTheRowsAboveAndPlaysTheClickedSong) {
  // Nothing plays: row 2 of seven. Rows 0 and 1 go, the window's play command starts the
  // player, which takes the clicked song from the top of the list.
  ASSERT_TRUE(driveWithEvents(env_, [&] { return lockIdle(); }));
  doubleClickRow(2);
  ASSERT_TRUE(untilPlaying(songPath(2), 4)) << media_.openPath() << " " << rows();
  repaints_seen_ = player_window_.text_repaints.load();
  EXPECT_EQ(opened(), std::vector<std::string>{"open " + songPath(2)});
  EXPECT_EQ(listPaths(), (std::vector<std::string>{songPath(3), songPath(4), songPath(5),
                                                    songPath(6)}));
  EXPECT_EQ(player_->state().playPath(), songPath(2));

  // While a song plays: row 1 (song 4). Song 3 goes and song 4 plays at once.
  // At once, while the new song's own work may still wait for the lock: the click is kept and
  // done once the lock is free.
  doubleClickRow(1);
  ASSERT_TRUE(untilPlaying(songPath(4), 2)) << media_.openPath() << " " << rows();
  EXPECT_EQ(opened(), (std::vector<std::string>{"open " + songPath(2), "open " + songPath(4)}));
  EXPECT_EQ(listPaths(), (std::vector<std::string>{songPath(5), songPath(6)}));
  EXPECT_EQ(questions_.requests().size(), 0u);
}

}  // namespace
}  // namespace tunora::ui::qt

namespace tunora::ui::qt {
namespace {

class LongPlayListDoubleClickTest : public PlayListDoubleClickTest {
 protected:
  int songCount() const override { return kLongList; }
};

// A long list scrolled far down: after the double-click the clicked song is row 0, and the view
// shows the top of the list again instead of rows far below it.
TEST_F(LongPlayListDoubleClickTest, ShowsTheTopOfTheListAfterADoubleClickFarDown) {
  ASSERT_TRUE(driveWithEvents(env_, [&] { return lockIdle(); }));
  QTableView* view = window_->listView();
  const int clicked = 60;
  view->scrollTo(view->model()->index(clicked, 1), QAbstractItemView::PositionAtCenter);
  QCoreApplication::processEvents();
  ASSERT_GT(view->verticalScrollBar()->value(), 0);
  doubleClickRow(clicked);
  ASSERT_TRUE(untilPlaying(songPath(clicked), kLongList - 1 - clicked - 1))
      << media_.openPath() << " " << rows();
  ASSERT_TRUE(driveWithEvents(env_, [&] { return lockIdle(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(view->verticalScrollBar()->value(), 0);
  EXPECT_EQ(view->rowAt(0), 0) << "the top row shows";
}

}  // namespace
}  // namespace tunora::ui::qt

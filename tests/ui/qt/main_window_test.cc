// The main window offscreen over the whole program: the rating stars are the program icon pixel
// for pixel, the play list view follows the engine's list, a toolbar click, a key and a posted
// command each reach the player, the bridge, the video area fed from the player's thread, and a
// double-click in the play list plays that song.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <thread>

#include "tests/ui/qt/qt_fixture.h"
#include "ui/command_numbers.h"
#include "ui/display_input.h"
#include "ui/qt/paint.h"
#include "ui/qt/program_icon.h"
#include "ui/qt/video_widget.h"

namespace tunora::ui::qt {
namespace {

engine::PlayListRow song(int n) {
  const std::string name = "Song " + std::to_string(n);
  return {name, "Artist", "Album", "/music/" + name + ".mp3", "MP3"};
}

class MainWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    startProgram(
        4, [](Settings& s) { s.set(settings::kColumnWidth, 0, 210); }, false);
  }
  engine::SharedWords& words() { return program().words(); }
  player::PlayerState& player() { return run_->player().state(); }
  QAbstractItemModel* model() { return window_->listView()->model(); }
  void showSong(const std::string& title, const std::string& path, uint32_t score) {
    player::SongDetails details;
    details.title = title;
    details.artist = "Artist";
    details.rating = score;
    player().setCurrent(details);
    player().setPlayPath(path);
  }
  QImage render() {
    QImage image(window_->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    window_->render(&image);
    return image;
  }
};

TEST_F(MainWindowTest, StarsAreTheProgramIconPixelForPixelAtEveryScale) {
  showSong("Rated Ten", "/music/Rated Ten.mp3", 512);  // the tenth default threshold
  PaintInput input = displayInput(player(), settings(), state_);
  input.line_height = arialLineHeight;
  const std::vector<PaintOp> paint = paintDisplay(input);
  std::vector<PaintOp> stars;
  for (const PaintOp& op : paint) {
    if (op.kind == PaintOp::Kind::kStar) stars.push_back(op);
  }
  ASSERT_EQ(stars.size(), 10u);
  // The window itself at scale 1, and its paint list drawn at scales 1 and 2 (a widget rendered
  // into a picture keeps its screen's scale, so scale 2 is drawn straight into a picture).
  std::vector<std::pair<int, QImage>> shots{{1, render()}};
  for (int scale : {1, 2}) {
    QImage image(window_->size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawPaintList(painter, paint, programIcon(), QImage());
    painter.end();
    shots.emplace_back(scale, image);
  }
  auto near = [](QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
           std::abs(qBlue(a) - qBlue(b)) <= 2;
  };
  for (const auto& [scale, shot] : shots) {
    const int side = 16 * scale;
    QImage expected(side, side, QImage::Format_RGB32);  // the icon on the white display
    expected.fill(Qt::white);
    QPainter(&expected).drawImage(0, 0, QImage(QString(":/tunora/tunora-%1.png").arg(side)));
    int coloured = 0;
    for (const PaintOp& star : stars) {
      for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
          const QRgb got = shot.pixel(star.rect.x * scale + x, star.rect.y * scale + y);
          ASSERT_TRUE(near(got, expected.pixel(x, y)))
              << "scale " << scale << " star at x " << star.rect.x << ", pixel " << x << "," << y;
          if (qRed(got) != qGreen(got) || qGreen(got) != qBlue(got)) ++coloured;
        }
      }
    }
    EXPECT_GT(coloured, 10 * side * side / 2) << "the stars are in colour at scale " << scale;
  }
}

TEST_F(MainWindowTest, ListViewFollowsTheEnginesListChangedOnOtherThreads) {
  std::thread builder([this] {
    for (int n = 1; n <= 12; ++n) program().playList().append(song(n));
  });
  builder.join();
  ASSERT_TRUE(processEventsUntil([&] { return model()->rowCount() == 12; }));
  EXPECT_EQ(model()->index(11, 3).data().toString(), "/music/Song 12.mp3");
  std::thread executor([this] {
    program().playList().removeFirst(3);
    program().playList().insertAtTop(song(99));
    (void)program().playList().removeRow(2);
  });
  executor.join();
  ASSERT_TRUE(processEventsUntil([&] { return model()->rowCount() == 9; }));
  QStringList titles;
  for (int row = 0; row < 4; ++row) titles << model()->index(row, 0).data().toString();
  EXPECT_EQ(titles, QStringList({"Song 99", "Song 4", "Song 6", "Song 7"}));
}

// The player thread is not started here: the request word keeps what was asked.
TEST_F(MainWindowTest, AClickAKeyAndAPostedCommandReachThePlayer) {
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
  for (size_t i = 0; i < inputs.size(); ++i) {
    words().player_request.store(0);
    inputs[i].second();
    EXPECT_TRUE(processEventsUntil([&] { return words().player_request.load() == expected[i]; }))
        << inputs[i].first << ": " << words().player_request.load();
  }
}

TEST_F(MainWindowTest, BridgeAnswersFromTheWindowThreadAndStopsWaitingOnceDetached) {
  for (int n = 1; n <= 3; ++n) program().playList().append(song(n));
  ASSERT_TRUE(processEventsUntil([&] { return model()->rowCount() == 3; }));
  window_->listView()->setCurrentIndex(model()->index(1, 0));
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
  settings().set(settings::kTray, 1);
  window_->showMinimized();
  for (int pass = 0; pass < 50; ++pass) QCoreApplication::processEvents();
  EXPECT_FALSE(window_->isHidden());
  EXPECT_EQ(state_.in_tray.load(), 0);
}

TEST_F(MainWindowTest, VideoFedFromThePlayersThreadIsPlacedInTheUpperRight) {
  VideoWidget* video = window_->videoWidget();
  VideoFrameSink sink(video);
  std::vector<uint8_t> pixels(16 * 8 * 4, 0);
  for (size_t i = 0; i < pixels.size(); i += 4) pixels[i + 2] = 255;  // B, G, R: red
  std::thread player([&] {
    sink.setArea(VideoArea{9999, 9999, 400, 300});  // where the player opens it
    sink.setVisible(true);
    sink.showFrame(VideoFrame{16, 8, 16 * 4, pixels});
    sink.showFrame(VideoFrame{16, 8, 10, pixels});  // a stride shorter than a row is dropped
  });
  player.join();
  ASSERT_TRUE(processEventsUntil([&] { return !video->frame().isNull(); }));
  EXPECT_EQ(video->frame().size(), QSize(16, 8));
  EXPECT_EQ(video->frame().pixel(3, 3), qRgb(255, 0, 0));
  bridge_->repaintWithVideo();
  const QRect upper_right(window_->width() / 2, 30, window_->width() / 2, window_->height() / 2);
  ASSERT_TRUE(processEventsUntil([&] { return video->geometry() == upper_right; }));
  std::thread to_full([&] { sink.setFullScreen(true); });
  to_full.join();
  ASSERT_TRUE(processEventsUntil([&] { return video->fullScreenMode() && video->isWindow(); }));
  std::thread back([&] { sink.setFullScreen(false); });
  back.join();
  ASSERT_TRUE(processEventsUntil([&] { return !video->fullScreenMode(); }));
  EXPECT_EQ(video->parentWidget(), &*window_);
}

TEST(ToolBarImagesTest, TheShippedStripHasThirteenImagesAndAShortOneGivesNone) {
  const auto shipped = loadToolBarImages(TUNORA_ASSETS_DIR "/");
  ASSERT_TRUE(shipped.has_value());
  ASSERT_EQ(shipped->size(), 13u);
  for (const QIcon& icon : *shipped) EXPECT_EQ(icon.availableSizes().size(), 2) << "1x and 2x";
  QTemporaryDir dir;
  const QString folder = dir.path() + "/";
  EXPECT_FALSE(loadToolBarImages(folder).has_value()) << "missing";
  QImage narrow(12 * 20, 20, QImage::Format_ARGB32);  // one image short
  narrow.fill(Qt::blue);
  ASSERT_TRUE(narrow.save(folder + kToolBarFileName, "BMP"));
  EXPECT_FALSE(loadToolBarImages(folder).has_value()) << "one short";
}

// The play list's double-click through the whole program: the rows above the clicked one go and
// the clicked song plays, whether a song was playing or not; far down a long list, the view
// shows the top again.
class PlayListDoubleClickTest : public WindowTest {
 protected:
  void SetUp() override {
    startProgram(kSongs);
    for (int i = 0; i < kSongs - 1; ++i) {
      program().playList().append(
          {"Title " + std::to_string(i), "Artist", "Album", songPath(i), "Audio"});
    }
    ASSERT_TRUE(processEventsUntil([&] { return rows() == kSongs - 1 && lockIdle(); }));
  }
  static constexpr int kSongs = 100;
  int rows() { return window_->listView()->model()->rowCount(); }
  bool lockIdle() {
    return program().words().request.load() == 0 && program().words().grant.load() == 0;
  }
  // Press, release, double-click and release on the row, as the mouse gives them.
  void doubleClickRow(int row) {
    QTableView* view = window_->listView();
    const QPointF at = view->visualRect(view->model()->index(row, 1)).center();
    QWidget* target = view->viewport();
    const QPointF global = target->mapToGlobal(at);
    for (auto [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
                                 {QEvent::MouseButtonRelease, Qt::NoButton},
                                 {QEvent::MouseButtonDblClick, Qt::LeftButton},
                                 {QEvent::MouseButtonRelease, Qt::NoButton}}) {
      QMouseEvent event(type, at, global, Qt::LeftButton, buttons, Qt::NoModifier);
      QCoreApplication::sendEvent(target, &event);
    }
  }
  // Until `path` plays (the player's switch done, its repaint made) and the view shows `rows`.
  bool untilPlaying(const std::string& path, int32_t list_rows) {
    const int32_t repaints = run_->window().text_repaints.load();
    return processEventsUntil([&] {
      return media_.openPath() == path && run_->player().state().position.load() >= 0 &&
             program().words().playing.load() != 0 &&
             run_->window().text_repaints.load() > repaints &&
             program().playList().size() == list_rows && rows() == list_rows;
    });
  }
  std::vector<std::string> opened() const {
    std::vector<std::string> files;
    for (const std::string& call : media_.calls()) {
      if (call.rfind("open", 0) == 0) files.push_back(call);
    }
    return files;
  }
};

TEST_F(PlayListDoubleClickTest, DropsTheRowsAboveAndPlaysTheClickedSong) {
  // Nothing plays: row 2. Rows 0 and 1 go, the window's play command starts the player, which
  // takes the clicked song from the top of the list.
  doubleClickRow(2);
  ASSERT_TRUE(untilPlaying(songPath(2), kSongs - 4)) << media_.openPath() << " " << rows();
  EXPECT_EQ(opened(), std::vector<std::string>{"open " + songPath(2)});
  EXPECT_EQ(run_->listPaths().front(), songPath(3));
  // While a song plays: row 1 (song 4). Song 3 goes and song 4 plays at once.
  ASSERT_TRUE(processEventsUntil([&] { return lockIdle(); }));
  doubleClickRow(1);
  ASSERT_TRUE(untilPlaying(songPath(4), kSongs - 6)) << media_.openPath() << " " << rows();
  EXPECT_EQ(opened(), (std::vector<std::string>{"open " + songPath(2), "open " + songPath(4)}));
  EXPECT_EQ(run_->listPaths().front(), songPath(5));
  EXPECT_TRUE(dialog_.requests().empty());
}

TEST_F(PlayListDoubleClickTest, ShowsTheTopOfTheListAfterADoubleClickFarDown) {
  QTableView* view = window_->listView();
  const int clicked = 60;
  view->scrollTo(view->model()->index(clicked, 1), QAbstractItemView::PositionAtCenter);
  QCoreApplication::processEvents();
  ASSERT_GT(view->verticalScrollBar()->value(), 0);
  doubleClickRow(clicked);
  ASSERT_TRUE(untilPlaying(songPath(clicked), kSongs - 2 - clicked)) << rows();
  ASSERT_TRUE(processEventsUntil([&] { return lockIdle(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(view->verticalScrollBar()->value(), 0);
  EXPECT_EQ(view->rowAt(0), 0) << "the top row shows";
}

}  // namespace
}  // namespace tunora::ui::qt

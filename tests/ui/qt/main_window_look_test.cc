// How the main window looks, offscreen: the rating stars are the program icon drawn pixel for
// pixel at scales 1 and 2, long texts stop before the divider, the play list's last column fills
// its width, the Rate keypad takes the window's font, the window fits the screen and comes back
// maximized, and a video that starts is placed in the upper right.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPainter>
#include <QScreen>
#include <QTableView>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/program.h"
#include "tests/support/fake_env.h"
#include "tests/ui/qt/qt_test_support.h"
#include "ui/display_input.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/main_window.h"
#include "ui/qt/paint.h"
#include "ui/qt/program_icon.h"
#include "ui/qt/qt_message_dialog.h"
#include "ui/qt/rate_keypad_dialog.h"
#include "ui/qt/toolbar_images.h"
#include "ui/qt/video_widget.h"
#include "ui/qt/window_bridge.h"

namespace tunora::ui::qt {
namespace {

class MainWindowLookTest : public ::testing::Test {
 protected:
  MainWindowLookTest() : program_(env_), dialog_("/nowhere/ReadMe.htm", QIcon()) {}

  void open(bool show = true) {
    auto images = loadToolBarImages(TUNORA_ASSETS_DIR "/");
    EXPECT_TRUE(images.has_value());
    window_.emplace(MainWindowParts{
        program_.lock(), program_.settings(), program_.playList(), program_.status(), player_,
        program_.context(), program_.updateWriter(), program_.updateQueue(), state_, dialog_,
        cover_, images.value_or(std::vector<QIcon>{}), programIcon(), nullptr});
    if (!show) return;
    window_->resize(800, 600);
    window_->show();
  }

  // The window as drawn at a device pixel ratio.
  QImage render(qreal scale) {
    QImage image(window_->size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    window_->render(&image);
    return image;
  }

  void playSong(const std::string& title, const std::string& path, uint32_t score) {
    player::SongDetails details;
    details.title = title;
    details.artist = "Artist";
    details.album = "Album";
    details.rating = score;
    player_.setCurrent(details);
    player_.setPlayPath(path);
  }

  // The paint list the window draws now.
  std::vector<PaintOp> ops() {
    PaintInput input = displayInput(player_, program_.settings(), state_);
    input.line_height = arialLineHeight;
    return paintDisplay(input);
  }

  FakeEnv env_;
  Program program_;
  player::PlayerState player_;
  WindowState state_;
  QtMessageDialog dialog_;
  CoverPicture cover_;
  std::optional<MainWindow> window_;
};

bool near(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
         std::abs(qBlue(a) - qBlue(b)) <= 2;
}

TEST_F(MainWindowLookTest, StarsAreTheProgramIconPixelForPixelAtEveryScale) {
  open();
  playSong("Rated Ten", "/music/Rated Ten.mp3", 512);  // the tenth default threshold
  const std::vector<PaintOp> paint = ops();
  std::vector<PaintOp> stars;
  for (const PaintOp& op : paint) {
    if (op.kind == PaintOp::Kind::kStar) stars.push_back(op);
  }
  ASSERT_EQ(stars.size(), 10u);
  // The window itself at scale 1, and its paint list drawn at scales 1 and 2 (a widget rendered
  // into a picture keeps its screen's scale, so scale 2 is drawn straight into a picture).
  struct Shot {
    int scale;
    QImage image;
  };
  std::vector<Shot> shots{{1, render(1)}};
  for (int scale : {1, 2}) {
    QImage image(window_->size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawPaintList(painter, paint, programIcon(), QImage());
    painter.end();
    shots.push_back({scale, image});
  }
  for (const Shot& shot : shots) {
    const int scale = shot.scale;
    const int side = 16 * scale;
    // The icon's own picture of that size, on the white display.
    QImage expected(side, side, QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
      QPainter painter(&expected);
      painter.drawImage(0, 0, QImage(QString(":/tunora/tunora-%1.png").arg(side)));
    }
    int coloured = 0;
    for (const PaintOp& star : stars) {
      for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
          const QRgb got = shot.image.pixel(star.rect.x * scale + x, star.rect.y * scale + y);
          ASSERT_TRUE(near(got, expected.pixel(x, y)))
              << std::hex << got << " " << expected.pixel(x, y) << std::dec << " scale " << scale
              << " star at x " << star.rect.x << ", pixel " << x << "," << y;
          if (qRed(got) != qGreen(got) || qGreen(got) != qBlue(got)) ++coloured;
        }
      }
    }
    EXPECT_GT(coloured, 10 * side * side / 2) << "the stars are in colour at scale " << scale;
  }
}

TEST_F(MainWindowLookTest, LongTextsStopBeforeTheDivider) {
  open();
  playSong(std::string(300, 'W'), "/music/" + std::string(290, 'M') + ".mp3", 0);
  const QImage shot = render(1);
  // The left panel ends at W/2 - 10 = 390; the upper right (white, no picture) starts at 400.
  auto dark = [&](int from_x, int to_x, int from_y, int to_y) {
    int n = 0;
    for (int y = from_y; y < to_y; ++y) {
      for (int x = from_x; x < to_x; ++x) n += qGray(shot.pixel(x, y)) < 160 ? 1 : 0;
    }
    return n;
  };
  EXPECT_GT(dark(340, 388, 30, 60), 0) << "the title runs up to its room's end";
  EXPECT_EQ(dark(388, 800, 30, 300), 0) << "no text pixels at the divider or right of it";
}

TEST_F(MainWindowLookTest, PlayListsLastColumnFillsTheWidth) {
  open();
  QTableView* list = window_->listView();
  int sum = 0;
  for (int c = 0; c < 5; ++c) sum += list->columnWidth(c);
  EXPECT_EQ(sum, list->viewport()->width());
  EXPECT_GT(list->columnWidth(4), 30);
}

TEST_F(MainWindowLookTest, RateKeypadUsesTheWindowsFont) {
  open();
  RateKeypadDialog keypad(&*window_);
  EXPECT_EQ(keypad.font().family(), window_->font().family());
  EXPECT_GT(keypad.font().pointSizeF(), window_->font().pointSizeF());
  EXPECT_NE(QFontInfo(keypad.font()).styleHint(), QFont::Serif);
}

TEST_F(MainWindowLookTest, PlacementFitsTheScreenAndMaximizedComesBack) {
  Settings& settings = program_.settings();
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  // A saved normal rectangle far larger than the screen, not maximized.
  const std::array<int32_t, 11> huge = {44, 0, 1, 0, 0, 0, 0, 100, 100, 3100, 2100};
  for (uint32_t i = 0; i < huge.size(); ++i) settings.set(settings::kWindowPlacement, i, huge[i]);
  settings.set(settings::kMaximized, 0);
  open(false);
  window_->applySavedPlacement();
  window_->show();
  EXPECT_TRUE(processEventsUntil([&] { return area.contains(window_->frameGeometry()); }))
      << window_->frameGeometry().width() << "x" << window_->frameGeometry().height();
  EXPECT_FALSE(window_->isMaximized());
  window_.reset();

  settings.set(settings::kMaximized, 1);
  open(false);
  window_->applySavedPlacement();
  window_->show();
  ASSERT_TRUE(processEventsUntil([&] { return window_->isMaximized(); }));
  EXPECT_EQ(settings.get(settings::kMaximized), 1);
}

TEST_F(MainWindowLookTest, StartedVideoIsPlacedInTheUpperRight) {
  open();
  WindowBridge bridge(&*window_, state_, dialog_, cover_);
  VideoWidget* video = window_->videoWidget();
  video->placeIn({9999, 9999, 400, 300});  // where the player opens it
  video->show();
  bridge.repaintWithVideo();
  const QRect upper_right(window_->width() / 2, 30, window_->width() / 2, window_->height() / 2);
  ASSERT_TRUE(processEventsUntil([&] { return video->geometry() == upper_right; }))
      << video->geometry().x() << "," << video->geometry().y();
  bridge.detach();
}

}  // namespace
}  // namespace tunora::ui::qt

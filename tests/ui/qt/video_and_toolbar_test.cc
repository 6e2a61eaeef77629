// The video area fed from another thread (frames, placement, full screen) and the toolbar
// images: a missing or too small "ToolBar.bmp" gives none, so start-up can say so.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <thread>
#include <vector>

#include "tests/ui/qt/qt_test_support.h"
#include "ui/qt/toolbar_images.h"
#include "ui/qt/video_widget.h"

namespace tunora::ui::qt {
namespace {

TEST(VideoFrameSinkTest, FramesAndPlacementFromAnotherThreadReachTheWidget) {
  QWidget host;
  host.resize(800, 600);
  host.show();
  VideoWidget widget(&host);
  VideoFrameSink sink(&widget);
  std::vector<uint8_t> pixels(16 * 8 * 4, 0);
  for (size_t i = 0; i < pixels.size(); i += 4) pixels[i + 2] = 255;  // B, G, R: red
  std::thread player([&] {
    sink.setArea(VideoArea{400, 30, 400, 300});
    sink.setVisible(true);
    sink.showFrame(VideoFrame{16, 8, 16 * 4, pixels});
    sink.showFrame(VideoFrame{16, 8, 10, pixels});  // a stride shorter than a row is dropped
  });
  player.join();
  ASSERT_TRUE(processEventsUntil([&] { return !widget.frame().isNull(); }));
  EXPECT_EQ(widget.frame().size(), QSize(16, 8));
  EXPECT_EQ(widget.frame().pixel(3, 3), qRgb(255, 0, 0));
  EXPECT_EQ(widget.geometry(), QRect(400, 30, 400, 300));
  EXPECT_TRUE(widget.isVisible());

  std::thread to_full([&] { sink.setFullScreen(true); });
  to_full.join();
  ASSERT_TRUE(processEventsUntil([&] { return widget.fullScreenMode(); }));
  EXPECT_TRUE(widget.isWindow());
  std::thread back([&] { sink.setFullScreen(false); });
  back.join();
  ASSERT_TRUE(processEventsUntil([&] { return !widget.fullScreenMode(); }));
  EXPECT_EQ(widget.parentWidget(), &host);
  EXPECT_EQ(widget.geometry(), QRect(400, 30, 400, 300));
}

TEST(ToolBarImagesTest, MissingOrShortStripGivesNone) {
  QTemporaryDir dir;
  const QString folder = dir.path() + "/";
  EXPECT_FALSE(loadToolBarImages(folder).has_value());
  QImage narrow(12 * 20, 20, QImage::Format_ARGB32);  // one image short
  narrow.fill(Qt::blue);
  ASSERT_TRUE(narrow.save(folder + kToolBarFileName, "BMP"));
  EXPECT_FALSE(loadToolBarImages(folder).has_value());
  QImage strip(13 * 20, 20, QImage::Format_ARGB32);
  strip.fill(Qt::blue);
  ASSERT_TRUE(strip.save(folder + kToolBarFileName, "BMP"));
  const auto icons = loadToolBarImages(folder);
  ASSERT_TRUE(icons.has_value());
  EXPECT_EQ(icons->size(), 13u);
}

TEST(ToolBarImagesTest, ShippedArtworkHasThirteenImagesInBothSizes) {
  const auto icons = loadToolBarImages(TUNORA_ASSETS_DIR "/");
  ASSERT_TRUE(icons.has_value());
  ASSERT_EQ(icons->size(), 13u);
  for (const QIcon& icon : *icons) {
    EXPECT_EQ(icon.availableSizes().size(), 2) << "1x and 2x images";
  }
  // The shipped strip keeps its transparency (32-bit BMP with an alpha mask).
  const QImage strip(TUNORA_ASSETS_DIR "/ToolBar.bmp");
  EXPECT_TRUE(strip.hasAlphaChannel());
  EXPECT_EQ(qAlpha(strip.pixel(8 * 20 + 10, 10)), 0);  // image 8 is left empty
}

}  // namespace
}  // namespace tunora::ui::qt

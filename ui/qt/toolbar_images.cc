// The toolbar's images.
#include "ui/qt/toolbar_images.h"

#include <QImage>
#include <QImageReader>
#include <QPixmap>

namespace tunora::ui::qt {
namespace {

QImage readImage(const QString& path) {
  QImageReader reader(path);
  reader.setAllocationLimit(16);  // MB: the strip is small; a bogus file must not eat memory
  return reader.read();
}

}  // namespace

std::optional<std::vector<QIcon>> loadToolBarImages(const QString& program_directory) {
  const QImage strip = readImage(program_directory + kToolBarFileName);
  const int size = kToolBarImageSize;
  if (strip.isNull() || strip.width() < size * kToolBarImageCount || strip.height() < size) {
    return std::nullopt;
  }
  QImage strip2x = readImage(program_directory + kToolBarFileName2x);
  if (strip2x.width() < 2 * size * kToolBarImageCount || strip2x.height() < 2 * size) {
    strip2x = QImage();
  }
  std::vector<QIcon> icons;
  for (int i = 0; i < kToolBarImageCount; ++i) {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(strip.copy(i * size, 0, size, size)));
    if (!strip2x.isNull()) {
      QPixmap big = QPixmap::fromImage(strip2x.copy(i * 2 * size, 0, 2 * size, 2 * size));
      big.setDevicePixelRatio(2.0);
      icon.addPixmap(big);
    }
    icons.push_back(icon);
  }
  return icons;
}

}  // namespace tunora::ui::qt

// Decoding a cover picture.
#include "ui/qt/cover_decoder.h"

#include <QImageReader>
#include <QPainter>

namespace tunora::ui::qt {

namespace {

// 32-bit pixels without alpha; transparent parts show white, as on the display's background.
QImage opaque(const QImage& image) {
  if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
  QImage out(image.size(), QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter painter(&out);
  painter.drawImage(0, 0, image);
  return out;
}

QImage decode(QImageReader& reader) {
  reader.setAutoTransform(true);
  reader.setAllocationLimit(kCoverAllocationLimitMb);
  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty()) {
    // Readers that cannot tell the size beforehand still decode under the allocation limit.
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (image.width() > kCoverMaxSide || image.height() > kCoverMaxSide) {
      image = image.scaled(kCoverMaxSide, kCoverMaxSide, Qt::KeepAspectRatio,
                           Qt::SmoothTransformation);
    }
    return opaque(image);
  }
  if (size.width() > kCoverMaxSide || size.height() > kCoverMaxSide) {
    reader.setScaledSize(size.scaled(kCoverMaxSide, kCoverMaxSide, Qt::KeepAspectRatio));
  }
  QImage image = reader.read();
  if (image.isNull()) return {};
  return opaque(image);
}

}  // namespace

QImage decodeCoverPicture(const QString& path) {
  QImageReader reader(path);
  return decode(reader);
}

QImage decodeCoverPicture(QIODevice* device) {
  QImageReader reader(device);
  return decode(reader);
}

}  // namespace tunora::ui::qt

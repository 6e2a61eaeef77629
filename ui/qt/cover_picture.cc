// The cover picture.
#include "ui/qt/cover_picture.h"

#include <QBuffer>
#include <QByteArray>

#include "media/embedded_picture.h"
#include "ui/qt/cover_decoder.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {

PictureDecoder::Size CoverPicture::load(const CoverSource& source) {
  QImage image;
  if (source.kind == CoverSource::Kind::kFile) {
    image = decodeCoverPicture(fromPath(source.path));
  } else if (auto embedded = media::readEmbeddedPicture(source.path)) {
    QByteArray bytes(reinterpret_cast<const char*>(embedded->bytes.data()),
                     static_cast<qsizetype>(embedded->bytes.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    image = decodeCoverPicture(&buffer);
  }
  if (image.isNull()) return {};
  const Size size{image.width(), image.height()};
  if (art_) (void)art_->write(image);
  std::lock_guard lock(mu_);
  picture_ = std::move(image);
  return size;
}

void CoverPicture::release() {
  if (art_) art_->clear();
  QImage old;
  std::lock_guard lock(mu_);
  std::swap(old, picture_);
}

void CoverPicture::keepArtFile(const std::string& folder) {
  if (!folder.empty()) art_ = std::make_unique<CoverArtFile>(folder);
}

std::string CoverPicture::artPath() const { return art_ ? art_->path() : std::string(); }

QImage CoverPicture::picture() const {
  std::lock_guard lock(mu_);
  return picture_;
}

}  // namespace tunora::ui::qt

// The cover picture the display draws: the cover loader's PictureDecoder over Qt's image readers.
// The loader decodes on its own short thread (decodeCoverPicture's size and memory limits apply
// to files and to pictures embedded in a tag alike); the window thread reads the picture to
// paint it. The picture is guarded by a mutex; neither side holds it while decoding or drawing.
#pragma once

#include <QImage>
#include <mutex>

#include "ui/cover_loader.h"

namespace tunora::ui::qt {

class CoverPicture final : public PictureDecoder {
 public:
  Size load(const CoverSource& source) override;
  void release() override;
  // The picture to draw; null when none is kept.
  QImage picture() const;

 private:
  mutable std::mutex mu_;
  QImage picture_;
};

}  // namespace tunora::ui::qt

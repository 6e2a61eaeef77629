// The cover picture the display draws: the cover loader's PictureDecoder over Qt's image readers.
// The loader decodes on its own short thread (decodeCoverPicture's size and memory limits apply
// to files and to pictures embedded in a tag alike); the window thread reads the picture to
// paint it. The picture is guarded by a mutex; neither side holds it while decoding or drawing.
// With an art file kept (keepArtFile), each picture decoded is also written out for the desktop
// (cover_art_file.h) and dropped with the picture.
#pragma once

#include <QImage>
#include <memory>
#include <mutex>
#include <string>

#include "ui/cover_loader.h"
#include "ui/qt/cover_art_file.h"

namespace tunora::ui::qt {

class CoverPicture final : public PictureDecoder {
 public:
  Size load(const CoverSource& source) override;
  void release() override;
  // The picture to draw; null when none is kept.
  QImage picture() const;
  // From now on each picture is written to a file in `folder` (before the loader's thread
  // starts; an empty folder keeps no file).
  void keepArtFile(const std::string& folder);
  // The file of the picture kept now; empty when there is none.
  std::string artPath() const;

 private:
  mutable std::mutex mu_;
  QImage picture_;
  std::unique_ptr<CoverArtFile> art_;  // set once, before the threads
};

}  // namespace tunora::ui::qt

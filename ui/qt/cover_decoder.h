// Decoding a cover picture with Qt's image readers (JPEG, BMP, GIF, PNG) off the GUI thread.
// A picture larger than the display could show is decoded at a reduced size straight from the
// file, and the readers' memory for one picture is capped, so a 5,000 x 5,000 JPEG decodes small
// and quickly and a damaged or hostile file fails instead of taking the memory. Any thread.
#pragma once

#include <QImage>
#include <QIODevice>
#include <QString>

namespace tunora::ui::qt {

// The largest side of a decoded cover; the display's square is at most half the screen.
inline constexpr int kCoverMaxSide = 1024;
// Memory the image reader may take for one picture, in megabytes.
inline constexpr int kCoverAllocationLimitMb = 64;

// The picture at `path` in 32-bit pixels, scaled down (keeping its shape) to at most
// kCoverMaxSide on either side; a null image when the file cannot be decoded.
QImage decodeCoverPicture(const QString& path);
// The same for a picture read from `device` (a picture embedded in a tag).
QImage decodeCoverPicture(QIODevice* device);

}  // namespace tunora::ui::qt

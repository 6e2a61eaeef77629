// make_art: renders the program's artwork from its SVG sources. Run by hand after changing a
// source; its output is committed beside them (ui/qt/assets/):
//   ToolBar.bmp     13 toolbar images of 20 x 20 side by side, 32-bit BMP with alpha
//   ToolBar@2x.bmp  the same at 40 x 40 for high-DPI screens
//   tunora-N.png    the program icon at N = 16, 24, 32, 48, 64, 128, 256 pixels
// Usage: make_art SOURCE_DIR OUTPUT_DIR
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <string>

namespace {

void put16(QByteArray& out, uint32_t v) {
  out.append(static_cast<char>(v & 0xff));
  out.append(static_cast<char>((v >> 8) & 0xff));
}
void put32(QByteArray& out, uint32_t v) {
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}

// A 32-bit BMP with a BITMAPV5HEADER and bit-field masks, so that readers keep the alpha
// channel: file header 14 bytes + info header 124 bytes, then the rows bottom-up as B, G, R, A.
QByteArray bmpBytes(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const uint32_t width = static_cast<uint32_t>(image.width());
  const uint32_t height = static_cast<uint32_t>(image.height());
  const uint32_t pixel_bytes = width * height * 4;
  const uint32_t header_bytes = 14 + 124;
  QByteArray out;
  out.append("BM");
  put32(out, header_bytes + pixel_bytes);
  put32(out, 0);
  put32(out, header_bytes);
  put32(out, 124);  // BITMAPV5HEADER
  put32(out, width);
  put32(out, height);  // positive: bottom-up rows
  put16(out, 1);       // planes
  put16(out, 32);      // bits per pixel
  put32(out, 3);       // BI_BITFIELDS
  put32(out, pixel_bytes);
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0x00ff0000);  // red mask
  put32(out, 0x0000ff00);  // green
  put32(out, 0x000000ff);  // blue
  put32(out, 0xff000000);  // alpha
  put32(out, 0x73524742);  // 'sRGB'
  for (int i = 0; i < 9; ++i) put32(out, 0);  // endpoints
  for (int i = 0; i < 3; ++i) put32(out, 0);  // gamma
  put32(out, 4);  // LCS_GM_IMAGES
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  for (int y = static_cast<int>(height) - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    for (uint32_t x = 0; x < width; ++x) put32(out, row[x]);
  }
  return out;
}

QImage render(QSvgRenderer& svg, int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  svg.render(&painter);
  painter.end();
  return image;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "make_art: cannot write %s\n", path.toUtf8().constData());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_art SOURCE_DIR OUTPUT_DIR\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString output = QString::fromLocal8Bit(argv[2]);
  QSvgRenderer toolbar(source + "/toolbar.svg");
  QSvgRenderer icon(source + "/tunora.svg");
  if (!toolbar.isValid() || !icon.isValid()) {
    std::fprintf(stderr, "make_art: cannot read the SVG sources in %s\n", argv[1]);
    return 1;
  }
  bool ok = writeFile(output + "/ToolBar.bmp", bmpBytes(render(toolbar, 260, 20))) &&
            writeFile(output + "/ToolBar@2x.bmp", bmpBytes(render(toolbar, 520, 40)));
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    ok = ok && render(icon, size, size)
                   .convertToFormat(QImage::Format_ARGB32)
                   .save(output + QString("/tunora-%1.png").arg(size), "PNG");
  }
  return ok ? 0 : 1;
}

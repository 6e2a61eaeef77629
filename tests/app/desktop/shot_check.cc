// shot_check: measures a rectangle of a screenshot (PNG), for the window's end-to-end look test.
//   shot_check colours PNG X Y W H     distinct colours, then pixels in colour (not grey)
//   shot_check dark PNG X Y W H        pixels darker than mid grey (text, lines)
//   shot_check differ A B X Y W H      pixels that differ between two screenshots
// Rectangles are in the picture's pixels and are clipped to it.
#include <QImage>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QRect clipped(const QImage& image, char** at) {
  return QRect(std::atoi(at[0]), std::atoi(at[1]), std::atoi(at[2]), std::atoi(at[3]))
      .intersected(image.rect());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: shot_check colours|dark PNG X Y W H | differ A B X Y W H\n");
    return 2;
  }
  const QImage first(QString::fromLocal8Bit(argv[2]));
  if (first.isNull()) {
    std::fprintf(stderr, "shot_check: cannot read %s\n", argv[2]);
    return 1;
  }
  if (std::strcmp(argv[1], "differ") == 0 && argc == 8) {
    const QImage second(QString::fromLocal8Bit(argv[3]));
    if (second.isNull() || second.size() != first.size()) return 1;
    const QRect r = clipped(first, argv + 4);
    long n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) n += first.pixel(x, y) != second.pixel(x, y);
    }
    std::printf("%ld\n", n);
    return 0;
  }
  if (argc != 7) return 2;
  const QRect r = clipped(first, argv + 3);
  if (std::strcmp(argv[1], "colours") == 0) {
    QSet<QRgb> colours;
    long coloured = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) {
        const QRgb p = first.pixel(x, y) & 0xFFFFFF;
        colours.insert(p);
        const int spread =
            std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)});
        coloured += spread > 40;
      }
    }
    std::printf("%lld %ld\n", static_cast<long long>(colours.size()), coloured);
    return 0;
  }
  if (std::strcmp(argv[1], "dark") == 0) {
    long n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) n += qGray(first.pixel(x, y)) < 128;
    }
    std::printf("%ld\n", n);
    return 0;
  }
  return 2;
}

// shot_check: measures a rectangle of a screenshot (PNG), for the window's end-to-end look test.
//   shot_check PNG [OTHER_PNG] X Y W H
// prints four counts for the rectangle (in the picture's pixels, clipped to it): distinct colours,
// pixels in colour (not grey), pixels darker than mid grey (text, lines), and pixels that differ
// in OTHER_PNG (0 without one).
#include <QImage>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 6 && argc != 7) {
    std::fprintf(stderr, "usage: shot_check PNG [OTHER_PNG] X Y W H\n");
    return 2;
  }
  const QImage shot(QString::fromLocal8Bit(argv[1]));
  const QImage other = argc == 7 ? QImage(QString::fromLocal8Bit(argv[2])) : shot;
  if (shot.isNull() || other.size() != shot.size()) {
    std::fprintf(stderr, "shot_check: cannot read both screenshots of the same size\n");
    return 1;
  }
  char** at = argv + argc - 4;
  const QRect r = QRect(std::atoi(at[0]), std::atoi(at[1]), std::atoi(at[2]), std::atoi(at[3]))
                      .intersected(shot.rect());
  QSet<QRgb> colours;
  long coloured = 0, dark = 0, differ = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      const QRgb p = shot.pixel(x, y);
      colours.insert(p & 0xFFFFFF);
      coloured +=
          std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 40;
      dark += qGray(p) < 128;
      differ += p != other.pixel(x, y);
    }
  }
  std::printf("%lld %ld %ld %ld\n", static_cast<long long>(colours.size()), coloured, dark, differ);
  return 0;
}

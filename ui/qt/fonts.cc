// Arial by pixel height.
#include "ui/qt/fonts.h"

#include <QStringList>

namespace tunora::ui::qt {

QFont arialFont(int pixel_height) {
  QFont font;
  font.setFamilies(QStringList{"Liberation Sans", "Arial", "Arimo", "DejaVu Sans", "sans-serif"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixel_height > 0 ? pixel_height : 1);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace tunora::ui::qt

// The program's icon from the program's built-in pictures.
#include "ui/qt/program_icon.h"

#include <QString>

// The pictures live in a static library: nothing refers to their registration, so the linker
// leaves it out unless it is asked for by name (at global scope, as the macro requires).
static void registerProgramPictures() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(tunora);
    return true;
  }();
  (void)registered;
}

namespace tunora::ui::qt {

QIcon programIcon() {
  registerProgramPictures();
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QString(":/tunora/tunora-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace tunora::ui::qt

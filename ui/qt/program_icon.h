// The program's icon, in the sizes built into the program (16 to 256 pixels). The display also
// draws it as the rating star, so at any scale the painter picks the size that is drawn pixel
// for pixel.
#pragma once

#include <QIcon>

namespace tunora::ui::qt {

QIcon programIcon();

}  // namespace tunora::ui::qt

// The window's fonts: "Arial" at a pixel height, drawn with Liberation Sans (metric-compatible)
// and falling back to the desktop's sans-serif font. Weight as asked (50 is normal).
#pragma once

#include <QFont>

namespace tunora::ui::qt {

QFont arialFont(int pixel_height);

}  // namespace tunora::ui::qt

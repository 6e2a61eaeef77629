// Draws a paint list (ui/paint_list.h) with a QPainter: fills, texts in the "Arial" font of the
// given pixel height shortened with "…" to their room (the area under them is filled already,
// so a text cell paints no background over its neighbours), the program icon as the rating star
// (the icon's own size for the painter's scale, so it stays sharp), and the cover picture
// stretched into its square. Nothing else is drawn.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <vector>

#include "ui/paint_list.h"

namespace tunora::ui::qt {

// The line height (ascent plus descent) of the window's "Arial" font of a pixel size.
int32_t arialLineHeight(int32_t font_px);

void drawPaintList(QPainter& painter, const std::vector<PaintOp>& ops, const QIcon& star,
                   const QImage& cover);

}  // namespace tunora::ui::qt

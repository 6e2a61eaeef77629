// Draws a paint list (ui/paint_list.h) with a QPainter: fills, texts on their background in the
// "Arial" font of the given pixel height, the program icon as the rating star, and the cover
// picture stretched into its square. Nothing else is drawn.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <vector>

#include "ui/paint_list.h"

namespace tunora::ui::qt {

void drawPaintList(QPainter& painter, const std::vector<PaintOp>& ops, const QIcon& star,
                   const QImage& cover);

}  // namespace tunora::ui::qt

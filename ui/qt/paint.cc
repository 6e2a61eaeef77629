// Drawing a paint list.
#include "ui/qt/paint.h"

#include <QFontMetrics>

#include "ui/qt/fonts.h"
#include "ui/qt/text.h"

namespace tunora::ui::qt {
namespace {

QColor qColor(const Color& c) { return QColor(c.red, c.green, c.blue); }
QRect qRect(const Rect& r) { return QRect(r.x, r.y, r.width, r.height); }

}  // namespace

void drawPaintList(QPainter& painter, const std::vector<PaintOp>& ops, const QIcon& star,
                   const QImage& cover) {
  painter.save();
  for (const PaintOp& op : ops) {
    switch (op.kind) {
      case PaintOp::Kind::kFill:
        painter.fillRect(qRect(op.rect), qColor(op.color));
        break;
      case PaintOp::Kind::kText: {
        const QFont font = arialFont(op.font_px);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const QString text = fromBytes(op.text);
        // The text cell is filled with the background, as opaque text is drawn.
        painter.fillRect(QRect(op.rect.x, op.rect.y, metrics.horizontalAdvance(text),
                               metrics.height()),
                         qColor(op.background));
        painter.setPen(qColor(op.color));
        painter.drawText(QPoint(op.rect.x, op.rect.y + metrics.ascent()), text);
        break;
      }
      case PaintOp::Kind::kStar:
        star.paint(&painter, qRect(op.rect));
        break;
      case PaintOp::Kind::kCover:
        if (!cover.isNull()) {
          painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
          painter.drawImage(qRect(op.rect), cover);
        }
        break;
    }
  }
  painter.restore();
}

}  // namespace tunora::ui::qt

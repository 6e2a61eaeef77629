// Drawing a paint list.
#include "ui/qt/paint.h"

#include <QFontMetrics>
#include <string>
#include <string_view>

#include "ui/qt/fonts.h"
#include "ui/qt/text.h"
#include "ui/text_fit.h"

namespace tunora::ui::qt {
namespace {

QColor qColor(const Color& c) { return QColor(c.red, c.green, c.blue); }
QRect qRect(const Rect& r) { return QRect(r.x, r.y, r.width, r.height); }

}  // namespace

int32_t arialLineHeight(int32_t font_px) { return QFontMetrics(arialFont(font_px)).height(); }

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
        const std::string fitted =
            fitToWidth(op.text, op.rect.width, op.elide, [&](std::string_view t) {
              return metrics.horizontalAdvance(QString::fromUtf8(t.data(), t.size()));
            });
        const QString text = QString::fromStdString(fitted);
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

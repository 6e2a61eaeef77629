// Look and behaviour the windows share.
#include "ui/qt/window_look.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace tunora::ui::qt {
namespace {

// Cuts its texts at their start: "…/Album/01 Song.mp3".
class PathDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideLeft;
  }
};

}  // namespace

void setUpRowList(QTableView& list, const QString& accessible_name, int path_column) {
  list.setAccessibleName(accessible_name);
  list.setShowGrid(true);
  list.setSelectionBehavior(QAbstractItemView::SelectRows);
  list.setSelectionMode(QAbstractItemView::SingleSelection);
  list.setEditTriggers(QAbstractItemView::NoEditTriggers);
  list.setWordWrap(false);
  list.setTextElideMode(Qt::ElideRight);
  list.verticalHeader()->hide();
  list.verticalHeader()->setDefaultSectionSize(list.fontMetrics().height() + 4);
  list.horizontalHeader()->setStretchLastSection(true);
  if (path_column >= 0) list.setItemDelegateForColumn(path_column, new PathDelegate(&list));
  list.horizontalHeader()->setHighlightSections(false);
}

void applyStaysOnTop(QWidget& window, bool on_top) {
  if (window.testAttribute(Qt::WA_WState_Created) &&
      window.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on_top) {
    return;
  }
  const bool was_visible = window.isVisible();
  window.setWindowFlag(Qt::WindowStaysOnTopHint, on_top);
  if (was_visible) window.show();  // changing a window flag hides the window
}

}  // namespace tunora::ui::qt

// Small pieces of look and behaviour that the program's windows share: the list views' common
// setup and keeping a window on top of others.
#pragma once

#include <QTableView>
#include <QWidget>

namespace tunora::ui::qt {

// A read-only table of whole-row selection, one line a row, no row numbers, the last column
// filling the width, texts cut with "…" at their end; a path column (when one is named) keeps
// the end of its paths, the file's name, and cuts at their start.
void setUpRowList(QTableView& list, const QString& accessible_name, int path_column = -1);

// Keeps `window` above other windows, or not; a visible window stays visible.
void applyStaysOnTop(QWidget& window, bool on_top);

}  // namespace tunora::ui::qt

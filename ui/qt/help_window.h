// The help window: "ReadMe.htm" shown in a window of the program's own (a text browser), so that
// Help works without a web browser on the desktop. One window at a time; asking again raises it.
// Links to other pages open in the desktop's browser.
#pragma once

#include <QPointer>
#include <QString>
#include <QTextBrowser>

namespace tunora::ui::qt {

// Shows `path` in `window` (made when null, as a window of its own) and raises it. A missing or
// unreadable file is said so in the window. Returns the window.
QTextBrowser* showHelpWindow(QPointer<QTextBrowser>& window, const QString& path);

}  // namespace tunora::ui::qt

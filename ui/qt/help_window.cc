// The help window.
#include "ui/qt/help_window.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace tunora::ui::qt {

QTextBrowser* showHelpWindow(QPointer<QTextBrowser>& window, const QString& path) {
  if (window.isNull()) {
    window = new QTextBrowser();
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName("helpWindow");
    window->setWindowTitle("Tunora Help");
    window->setOpenExternalLinks(true);
    window->resize(760, 620);
  }
  if (QFileInfo(path).isReadable()) {
    window->setSource(QUrl::fromLocalFile(path));
  } else {
    window->setHtml(QString("<h2>Tunora Help</h2><p>The help file %1 is missing.</p>")
                        .arg(path.toHtmlEscaped()));
  }
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

}  // namespace tunora::ui::qt

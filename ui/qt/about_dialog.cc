// The About dialog.
#include "ui/qt/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/qt/text.h"

namespace tunora::ui::qt {

QString aboutText(const AboutInfo& info) {
  const QString help = QUrl::fromLocalFile(fromPath(info.help_path)).toString();
  return QString(
             "<h2>Tunora</h2><p>Tunora 1.9</p>"
             "<p>An automatic music player: it keeps its play list filled from your library, "
             "choosing songs by the ratings of each listener.</p>"
             "<p>Library: %1<br>Songs: %2</p>"
             "<p><a href=\"%3\">Help</a></p>")
      .arg(fromPath(info.library_path).toHtmlEscaped())
      .arg(info.song_count)
      .arg(help.toHtmlEscaped());
}

AboutDialog::AboutDialog(const AboutInfo& info, QWidget* parent) : QDialog(parent) {
  setWindowTitle("About Tunora");
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(aboutText(info), this);
  text->setTextFormat(Qt::RichText);
  text->setOpenExternalLinks(true);
  text->setWordWrap(true);
  text->setObjectName("aboutText");
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace tunora::ui::qt

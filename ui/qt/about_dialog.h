// The About dialog: the program's name and version, what it is, the library's path and song
// count, and a link to the help page. GUI thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>

namespace tunora::ui::qt {

struct AboutInfo {
  std::string library_path;
  int32_t song_count = 0;
  std::string help_path;  // the help page's file
};

// The dialog's text (rich text; the help page as a link).
QString aboutText(const AboutInfo& info);

class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(const AboutInfo& info, QWidget* parent = nullptr);
};

}  // namespace tunora::ui::qt

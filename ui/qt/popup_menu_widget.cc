// A menu description as a Qt menu.
#include "ui/qt/popup_menu_widget.h"

#include <QAction>

#include "ui/qt/text.h"

namespace tunora::ui::qt {

namespace {
// Names may hold "&", which a menu would take for a shortcut mark.
QString label(const std::string& text) { return fromBytes(text).replace("&", "&&"); }
}  // namespace

void fillMenu(QMenu& menu, const std::vector<MenuItem>& items,
              const std::function<void(int32_t)>& choose) {
  for (const MenuItem& item : items) {
    switch (item.kind) {
      case MenuItem::Kind::kSeparator:
        menu.addSeparator();
        break;
      case MenuItem::Kind::kSubmenu: {
        QMenu* sub = menu.addMenu(label(item.text));
        fillMenu(*sub, item.submenu, choose);
        break;
      }
      case MenuItem::Kind::kCommand: {
        QAction* action = menu.addAction(label(item.text));
        action->setData(item.command);
        if (item.checked) {
          action->setCheckable(true);
          action->setChecked(true);
        }
        const int32_t command = item.command;
        QObject::connect(action, &QAction::triggered, &menu,
                         [choose, command] { choose(command); });
        break;
      }
    }
  }
}

}  // namespace tunora::ui::qt

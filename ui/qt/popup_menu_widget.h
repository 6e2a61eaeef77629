// Shows a menu description (ui/menu_description.h) as a Qt menu: the one routine behind the right
// mouse button, the M key, the tray icon and the play list's context request. GUI thread only.
#pragma once

#include <QMenu>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/menu_description.h"

namespace tunora::ui::qt {

// Adds the items to `menu` (submenus as child menus, check marks as checked checkable actions);
// choosing an item calls `choose` with its command.
void fillMenu(QMenu& menu, const std::vector<MenuItem>& items,
              const std::function<void(int32_t)>& choose);

}  // namespace tunora::ui::qt

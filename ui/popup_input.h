// Gathering the popup menu's input from the program's state, and the window's side of showing
// it: the "View" submenu's target is set when the menu is built, and the play list's flag is
// cleared when the menu closes.
#pragma once

#include <cstdint>

#include "engine/play_list.h"
#include "engine/shared_words.h"
#include "engine/update_queue.h"
#include "engine/update_writer.h"
#include "settings/settings.h"
#include "ui/popup_menu.h"
#include "ui/window_state.h"

namespace tunora::ui {

struct PopupSources {
  const engine::SharedWords& words;
  const Settings& settings;
  const engine::PlayList& play_list;
  const engine::UpdateWriter& writer;
  const engine::UpdateQueue& queue;
};

// The input for a menu at client x `click_x` (0 for the keyboard, the tray and the play list).
// The play list's request is WindowState::menu_from_list.
PopupInput popupInput(const PopupSources& sources, const WindowState& window, int32_t click_x);

// Builds the menu for a click at `click_x` and points the "View" submenu's commands at its view
// (WindowState::view_target_lower_left) when the menu has one. Window thread.
MenuSpec preparePopupMenu(const PopupSources& sources, WindowState& window, int32_t click_x);

// The menu closed (an item chosen or not): the play list's request is over.
inline void popupMenuClosed(WindowState& window) { window.menu_from_list.store(0); }

}  // namespace tunora::ui

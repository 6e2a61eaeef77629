// A popup menu as plain data: items with their texts and command numbers, check marks,
// separators and submenus. The window's toolkit shows one at the cursor; choosing an item sends
// its command number to the window's command table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tunora::ui {

struct MenuItem {
  enum class Kind { kCommand, kSeparator, kSubmenu };
  Kind kind = Kind::kCommand;
  std::string text;     // kCommand, kSubmenu
  int32_t command = 0;  // kCommand
  bool checked = false;
  std::vector<MenuItem> submenu;  // kSubmenu

  friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

inline MenuItem commandItem(std::string text, int32_t command, bool checked = false) {
  MenuItem item;
  item.text = std::move(text);
  item.command = command;
  item.checked = checked;
  return item;
}
inline MenuItem separatorItem() {
  MenuItem item;
  item.kind = MenuItem::Kind::kSeparator;
  return item;
}
inline MenuItem submenuItem(std::string text, std::vector<MenuItem> items) {
  MenuItem item;
  item.kind = MenuItem::Kind::kSubmenu;
  item.text = std::move(text);
  item.submenu = std::move(items);
  return item;
}

struct MenuSpec {
  std::vector<MenuItem> items;
  friend bool operator==(const MenuSpec&, const MenuSpec&) = default;
};

// The first item with this text among `items` (not searching submenus); nullptr when none.
inline const MenuItem* findMenuItem(const std::vector<MenuItem>& items, std::string_view text) {
  for (const MenuItem& item : items) {
    if (item.kind != MenuItem::Kind::kSeparator && item.text == text) return &item;
  }
  return nullptr;
}

}  // namespace tunora::ui

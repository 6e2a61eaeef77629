// The popup menu's View submenu for each display half: what it offers and which view it is for.
#include "ui/popup_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/command_numbers.h"
#include "ui/popup_input.h"

namespace tunora::ui {
namespace {

// "text=command" for commands, "text>" for submenus, "-" for separators; a check adds "*".
std::vector<std::string> outline(const std::vector<MenuItem>* items) {
  std::vector<std::string> lines;
  for (const MenuItem& item : items != nullptr ? *items : std::vector<MenuItem>{}) {
    if (item.kind == MenuItem::Kind::kSeparator) lines.push_back("-");
    if (item.kind == MenuItem::Kind::kSubmenu) lines.push_back(item.text + ">");
    if (item.kind == MenuItem::Kind::kCommand)
      lines.push_back(item.text + "=" + std::to_string(item.command) + (item.checked ? "*" : ""));
  }
  return lines;
}

std::vector<std::string> view(const PopupInput& in) {
  const PopupMenu menu = buildPopupMenu(in);
  const MenuItem* item = findMenuItem(menu.description.items, "View");
  return outline(item == nullptr || item->kind != MenuItem::Kind::kSubmenu ? nullptr
                                                                           : &item->submenu);
}

TEST(PopupMenuTest, TheViewMenuOffersWhatTheClickedHalfCanShow) {
  PopupInput in{.client_width = 800,
                .client_height = 600,
                .click_x = 401,
                .cover_found = true,
                .disc_found = true};
  const std::vector<std::string> lists = {
      "Other songs from this album=2110", "Other songs from the same artist=2111",
      "Other songs with same name=2112", "Other songs with same comment=2113", "Diagnostics=2114"};
  std::vector<std::string> upper = {"Cover=2101*", "Disc=2102"};
  upper.insert(upper.end(), lists.begin(), lists.end());
  EXPECT_EQ(view(in), upper);
  EXPECT_FALSE(*buildPopupMenu(in).view_target_lower_left);
  // A list in the lower left: the upper right offers the pictures only.
  in.lower_left_view = kViewArtist;
  EXPECT_EQ(view(in), (std::vector<std::string>{"Cover=2101*", "Disc=2102"}));

  // The left half (the exact middle too), in a tall window only, with its own check.
  in = {.client_width = 800,
        .client_height = 600,
        .click_x = 400,
        .upper_right_view = kViewAlbum,
        .lower_left_view = kViewComment};
  EXPECT_TRUE(*buildPopupMenu(in).view_target_lower_left);
  EXPECT_EQ(view(in).at(0), "Nothing=2028");
  EXPECT_EQ(view(in).at(4), "Other songs with same comment=2113*");
  in.client_height = 500;
  EXPECT_TRUE(view(in).empty());
  EXPECT_FALSE(buildPopupMenu(in).view_target_lower_left.has_value());
}

}  // namespace
}  // namespace tunora::ui

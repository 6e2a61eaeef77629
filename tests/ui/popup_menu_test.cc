// The popup menu's View submenu for each display half, Network mode and the check marks; then the
// way from a built menu through the dispatcher to the view it was opened for.
#include "ui/popup_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/ui_fixture.h"
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

// Every checked item, with the path of submenus leading to it.
void collectChecks(const std::vector<MenuItem>& items, const std::string& prefix,
                   std::vector<std::string>& out) {
  for (const MenuItem& item : items) {
    if (item.kind == MenuItem::Kind::kSubmenu) collectChecks(item.submenu, item.text + "/", out);
    if (item.checked) out.push_back(prefix + item.text);
  }
}
std::vector<std::string> checks(const MenuSpec& description) {
  std::vector<std::string> out;
  collectChecks(description.items, "", out);
  return out;
}

const std::vector<MenuItem>* submenu(const MenuSpec& description, const std::string& text) {
  const MenuItem* item = findMenuItem(description.items, text);
  return item == nullptr || item->kind != MenuItem::Kind::kSubmenu ? nullptr : &item->submenu;
}
std::vector<std::string> view(const PopupInput& in) {
  return outline(submenu(buildPopupMenu(in).description, "View"));
}
PopupInput wideWindow(int32_t click_x) {
  PopupInput in;
  in.client_width = 800;
  in.client_height = 600;
  in.click_x = click_x;
  return in;
}

TEST(PopupMenuTest, TheViewMenuOffersWhatTheClickedHalfCanShow) {
  PopupInput in = wideWindow(401);
  in.cover_found = true;
  in.disc_found = true;
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
  in = wideWindow(400);
  in.lower_left_view = kViewComment;
  in.upper_right_view = kViewAlbum;
  EXPECT_TRUE(*buildPopupMenu(in).view_target_lower_left);
  EXPECT_EQ(view(in).at(0), "Nothing=2028");
  EXPECT_EQ(view(in).at(4), "Other songs with same comment=2113*");
  in.client_height = 500;
  EXPECT_TRUE(view(in).empty());
  EXPECT_FALSE(buildPopupMenu(in).view_target_lower_left.has_value());
}

TEST(PopupMenuTest, EveryCheckMarkFollowsItsState) {
  PopupInput in = wideWindow(700);
  for (size_t k = 0; k < in.user_names.size(); ++k) {
    in.user_names[k] = "U" + std::to_string(k);
    in.alt_names[k] = "A" + std::to_string(k);
    in.state_names[k] = "S" + std::to_string(k);
  }
  in.on_top = true;
  in.state_user = 9;
  in.state_alt_mode = 3;
  in.current_state = 4;
  in.upper_right_view = kViewDiagnostics;
  EXPECT_EQ(checks(buildPopupMenu(in).description),
            (std::vector<std::string>{"On Top Toggle", "User/U9", "Mode/A3", "State/S4",
                                      "View/Diagnostics"}));
  in.from_list = true;
  in.songs_prepared = 2;
  in.network = true;
  in.build_request = engine::kOfflineLocked;
  in.network_items = {{network::kRefreshCacheItem, false}, {network::kLockOfflineItem, true}};
  EXPECT_EQ(checks(buildPopupMenu(in).description).at(4), "Intervention/Lock Offline mode");
}

class PopupStateTest : public tunora::testing::UiTest {
 protected:
  PopupSources sources() {
    return PopupSources{words(), settings(), program_.playList(), program_.updateWriter(),
                        program_.updateQueue()};
  }
  void SetUp() override {
    window_state_.client_width.store(800);
    window_state_.client_height.store(600);
    program_.playList().append({"T", "A", "B", "/m/t.mp3", "Audio"});
  }
};

TEST_F(PopupStateTest, AViewChoiceLandsInTheViewTheMenuWasOpenedFor) {
  settings().set(settings::kUpperRightView, kViewCover);
  settings().set(settings::kLowerLeftView, kViewNothing);
  settings().setText(settings::kUserName, 2, "Carol");
  settings().set(settings::kCurrentState, 1);
  settings().set(settings::kStateUser, 1, 2);

  // Left half: the lower-left view gets the list, and the upper-right view stays the picture.
  MenuSpec description = preparePopupMenu(sources(), window_state_, 100);
  EXPECT_EQ(checks(description),
            (std::vector<std::string>{"User/Carol", "Mode/", "State/", "View/Nothing"}));
  const MenuItem* name = findMenuItem(*submenu(description, "View"), "Other songs with same name");
  ASSERT_NE(name, nullptr);
  window_state_.quick_links.setList({"old", {}});
  EXPECT_EQ(dispatcher_.dispatch(name->command), CommandOutcome::kHandled);
  EXPECT_EQ(settings().get(settings::kLowerLeftView), kViewName);
  EXPECT_EQ(settings().get(settings::kUpperRightView), kViewCover);
  EXPECT_FALSE(window_state_.quick_links.loaded());

  // Right half after that: the upper-right menu (the lower-left shows a list: pictures only).
  description = preparePopupMenu(sources(), window_state_, 700);
  EXPECT_EQ(window_state_.view_target_lower_left.load(), 0);
  EXPECT_EQ(outline(submenu(description, "View")), (std::vector<std::string>{"Cover=2101*"}));

  // A menu without "View" leaves the target alone; closing clears the play list's request.
  window_state_.menu_from_list.store(1);
  (void)preparePopupMenu(sources(), window_state_, 100);
  EXPECT_EQ(window_state_.view_target_lower_left.load(), 0);
  popupMenuClosed(window_state_);
  EXPECT_EQ(window_state_.menu_from_list.load(), 0);
}

}  // namespace
}  // namespace tunora::ui

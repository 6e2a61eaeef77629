// The popup menu's description in each context: the window's display halves, the play list
// (empty or not), the tray, Network mode, and every check mark; then the way from a built menu
// through the dispatcher to the view it was opened for.
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
std::vector<std::string> outline(const std::vector<MenuItem>& items) {
  std::vector<std::string> lines;
  for (const MenuItem& item : items) {
    switch (item.kind) {
      case MenuItem::Kind::kSeparator:
        lines.push_back("-");
        break;
      case MenuItem::Kind::kSubmenu:
        lines.push_back(item.text + ">");
        break;
      case MenuItem::Kind::kCommand:
        lines.push_back(item.text + "=" + std::to_string(item.command) + (item.checked ? "*" : ""));
        break;
    }
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
  if (item == nullptr || item->kind != MenuItem::Kind::kSubmenu) return nullptr;
  return &item->submenu;
}

const std::vector<std::string> kRootHead = {
    "Help=11", "About=2006", "On Top Toggle=5000", "User>", "Mode>", "State>",
};
const std::vector<std::string> kDisplayItems = {
    "Details=5352",     "Other songs by artist=2024",    "Top Songs=2029",
    "Worst Songs=2034", "Open Tunora media filler=2025",
};
const std::vector<std::string> kFiveLists = {
    "Other songs from this album=2110",
    "Other songs from the same artist=2111",
    "Other songs with same name=2112",
    "Other songs with same comment=2113",
    "Diagnostics=2114",
};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

PopupInput wideWindow(int32_t click_x) {
  PopupInput in;
  in.client_width = 800;
  in.client_height = 600;
  in.click_x = click_x;
  return in;
}

TEST(PopupMenuTest, RightHalfOfAWideWindowOffersThePicturesAndTheListsWhileLowerLeftIsNothing) {
  PopupInput in = wideWindow(401);
  in.cover_found = true;
  in.disc_found = true;
  PopupMenu menu = buildPopupMenu(in);
  EXPECT_EQ(outline(menu.description.items), join(join(kRootHead, kDisplayItems), {"View>"}));
  ASSERT_NE(submenu(menu.description, "View"), nullptr);
  EXPECT_EQ(outline(*submenu(menu.description, "View")),
            join({"Cover=2101*", "Disc=2102"}, kFiveLists));
  ASSERT_TRUE(menu.view_target_lower_left.has_value());
  EXPECT_FALSE(*menu.view_target_lower_left);

  // With a list in the lower-left view the upper-right menu has the pictures only.
  in.lower_left_view = kViewArtist;
  menu = buildPopupMenu(in);
  EXPECT_EQ(outline(*submenu(menu.description, "View")),
            (std::vector<std::string>{"Cover=2101*", "Disc=2102"}));

  // "Cover" needs a cover picture, or no picture at all; "Disc" needs a disc picture.
  in.lower_left_view = kViewNothing;
  in.upper_right_view = kViewDisc;
  in.cover_found = false;
  EXPECT_EQ(outline(*submenu(buildPopupMenu(in).description, "View")),
            join({"Disc=2102*"}, kFiveLists));
  in.disc_found = false;
  EXPECT_EQ(outline(*submenu(buildPopupMenu(in).description, "View")),
            join({"Cover=2101"}, kFiveLists));

  // The exact middle belongs to the left half.
  EXPECT_TRUE(*buildPopupMenu(wideWindow(400)).view_target_lower_left);
}

TEST(PopupMenuTest, LeftHalfOffersTheLowerLeftViewOnlyInATallWindow) {
  PopupInput in = wideWindow(10);
  PopupMenu menu = buildPopupMenu(in);
  ASSERT_NE(submenu(menu.description, "View"), nullptr);
  EXPECT_EQ(outline(*submenu(menu.description, "View")), join({"Nothing=2028*"}, kFiveLists));
  EXPECT_TRUE(*menu.view_target_lower_left);

  in.lower_left_view = kViewComment;
  in.upper_right_view = kViewAlbum;  // the upper-right view's value is not the target's
  menu = buildPopupMenu(in);
  const std::vector<MenuItem>* view = submenu(menu.description, "View");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(outline(*view)[4], "Other songs with same comment=2113*");
  EXPECT_EQ(outline(*view)[1], "Other songs from this album=2110");

  in.client_height = 500;
  menu = buildPopupMenu(in);
  EXPECT_EQ(submenu(menu.description, "View"), nullptr);
  EXPECT_FALSE(menu.view_target_lower_left.has_value());

  // 400 pixels wide or less: no "View" on either side.
  in = wideWindow(399);
  in.client_width = 400;
  EXPECT_EQ(submenu(buildPopupMenu(in).description, "View"), nullptr);
}

TEST(PopupMenuTest, PlayListMenuHasOnlyClearListWhenTheListIsEmpty) {
  PopupInput in = wideWindow(0);
  in.from_list = true;
  PopupMenu menu = buildPopupMenu(in);
  EXPECT_EQ(outline(menu.description.items), join(kRootHead, {"-", "Clear List=2014"}));
  EXPECT_FALSE(menu.view_target_lower_left.has_value());

  in.songs_prepared = 3;
  menu = buildPopupMenu(in);
  EXPECT_EQ(outline(menu.description.items),
            join(kRootHead, {"-", "Clear List=2014", "Save As Playlist=2018", "Intervention>", "-",
                             "Remove=2017", "Play Now=2019", "Play Next=2016", "Details=2015",
                             "Other songs by artist=2033"}));
  EXPECT_EQ(outline(*submenu(menu.description, "Intervention")),
            (std::vector<std::string>{"Build Now=2020", "Quit but do not save playlist=2022",
                                      "Test Functions=7777"}));
}

TEST(PopupMenuTest, InterventionOffersBuildOrStopByTheBuildWord) {
  PopupInput in;
  in.from_list = true;
  in.songs_prepared = 1;
  in.build_request = 500;
  EXPECT_EQ(outline(*submenu(buildPopupMenu(in).description, "Intervention"))[0],
            "Stop Building=2021");
  in.build_request = 1500;  // offline: neither
  EXPECT_EQ(outline(*submenu(buildPopupMenu(in).description, "Intervention"))[0],
            "Quit but do not save playlist=2022");
}

TEST(PopupMenuTest, TrayMenuEndsWithPlayOrPauseSkipAndExitAndHasNoPlayListItems) {
  PopupInput in = wideWindow(0);
  in.in_tray = true;
  in.songs_prepared = 5;
  EXPECT_EQ(outline(buildPopupMenu(in).description.items),
            join(join(kRootHead, kDisplayItems), {"-", "Play=1", "Skip=5", "Exit=2012"}));
  in.playing = true;
  EXPECT_EQ(
      outline(buildPopupMenu(in).description.items).at(kRootHead.size() + kDisplayItems.size() + 1),
      "Pause=1");
  // Even a play-list request while in the tray gets the tray's items.
  in.from_list = true;
  const std::vector<std::string> items = outline(buildPopupMenu(in).description.items);
  EXPECT_EQ(items, join(kRootHead, {"-", "Pause=1", "Skip=5", "Exit=2012"}));
}

TEST(PopupMenuTest, EveryCheckMarkFollowsItsState) {
  PopupInput in = wideWindow(700);
  in.from_list = false;
  EXPECT_EQ(checks(buildPopupMenu(in).description),
            (std::vector<std::string>{"User/", "Mode/", "State/", "View/Cover"}));
  for (int32_t k = 0; k < kMenuChoices; ++k) {
    in.user_names[static_cast<size_t>(k)] = std::string("U").append(std::to_string(k));
    in.alt_names[static_cast<size_t>(k)] = std::string("A").append(std::to_string(k));
    in.state_names[static_cast<size_t>(k)] = std::string("S").append(std::to_string(k));
  }
  in.on_top = true;
  in.state_user = 9;
  in.state_alt_mode = 3;
  in.current_state = 4;
  in.upper_right_view = kViewDiagnostics;
  EXPECT_EQ(checks(buildPopupMenu(in).description),
            (std::vector<std::string>{"On Top Toggle", "User/U9", "Mode/A3", "State/S4",
                                      "View/Diagnostics"}));
  EXPECT_EQ(outline(*submenu(buildPopupMenu(in).description, "State"))[9], "S9=2249");
  EXPECT_EQ(outline(*submenu(buildPopupMenu(in).description, "Mode"))[0], "A0=2220");

  in.from_list = true;
  in.songs_prepared = 2;
  in.test_functions = true;
  in.network = true;
  in.build_request = engine::kOfflineLocked;
  in.network_items = {{network::kRefreshCacheItem, false}, {network::kLockOfflineItem, true}};
  EXPECT_EQ(
      checks(buildPopupMenu(in).description),
      (std::vector<std::string>{"On Top Toggle", "User/U9", "Mode/A3", "State/S4",
                                "Intervention/Lock Offline mode", "Intervention/Test Functions"}));
}

TEST(PopupMenuTest, NetworkItemsAreMappedToTheirCommandsAndOnlyInNetworkMode) {
  EXPECT_EQ(networkItemCommand(network::kRefreshCacheItem), kCmdRefreshNetworkCache);
  EXPECT_EQ(networkItemCommand(network::kLockOfflineItem), kCmdLockOffline);
  EXPECT_EQ(networkItemCommand(network::kSetOfflineItem), kCmdSetOffline);
  EXPECT_EQ(networkItemCommand(network::kUnsetOfflineItem), kCmdSetOffline);
  EXPECT_EQ(networkItemCommand(network::kWriteCachedEditsItem), kCmdWriteCachedEdits);
  EXPECT_EQ(networkItemCommand("Something else"), 0);
}

class PopupStateTest : public tunora::testing::UiTest {
 protected:
  PopupSources sources() {
    return PopupSources{words(), settings(), program_.playList(), program_.updateWriter(),
                        program_.updateQueue()};
  }
  std::vector<std::string> intervention() {
    const MenuSpec description = preparePopupMenu(sources(), window_state_, 0);
    const std::vector<MenuItem>* items = submenu(description, "Intervention");
    return items == nullptr ? std::vector<std::string>{} : outline(*items);
  }
  void SetUp() override {
    window_state_.client_width.store(800);
    window_state_.client_height.store(600);
    program_.playList().append({"T", "A", "B", "/m/t.mp3", "Audio"});
  }
};

TEST_F(PopupStateTest, NetworkItemsComeFromTheNetworkStateOnlyWithNetworkOn) {
  window_state_.menu_from_list.store(1);
  ASSERT_GT(program_.playList().songsPrepared(), 0);
  EXPECT_EQ(intervention(),
            (std::vector<std::string>{"Build Now=2020", "Quit but do not save playlist=2022",
                                      "Test Functions=7777"}));
  settings().set(settings::kNetwork, 1);
  EXPECT_EQ(intervention(),
            (std::vector<std::string>{"Build Now=2020", "Quit but do not save playlist=2022",
                                      "Refresh Network Cache=2023", "Lock Offline mode=2026",
                                      "Set Offline mode=2027", "Test Functions=7777"}));
  words().build_request.store(1200);
  EXPECT_EQ(intervention(),
            (std::vector<std::string>{"Quit but do not save playlist=2022",
                                      "Refresh Network Cache=2023", "Lock Offline mode=2026",
                                      "Un-Set Offline mode=2027", "Test Functions=7777"}));
  words().build_request.store(engine::kOfflineLocked);
  EXPECT_EQ(intervention(), (std::vector<std::string>{
                                "Quit but do not save playlist=2022", "Refresh Network Cache=2023",
                                "Lock Offline mode=2026*", "Test Functions=7777"}));
}

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
  EXPECT_EQ(outline(*submenu(description, "View")), (std::vector<std::string>{"Cover=2101*"}));

  // A menu without "View" leaves the target alone; closing clears the play list's request.
  window_state_.menu_from_list.store(1);
  (void)preparePopupMenu(sources(), window_state_, 100);
  EXPECT_EQ(window_state_.view_target_lower_left.load(), 0);
  popupMenuClosed(window_state_);
  EXPECT_EQ(window_state_.menu_from_list.load(), 0);
}

}  // namespace
}  // namespace tunora::ui

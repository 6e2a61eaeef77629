// The popup menu, built afresh from the state each time it is shown: for the right mouse button
// in the window, the M key, the tray icon and the play list's context request alike.
//
// Root menu, in order: "Help" (11), "About" (2006), "On Top Toggle" (5000, checked while
// "On Top" is on), "User" / "Mode" / "State" (the ten names each; 2200.. / 2220.. / 2240..;
// the current state's user, alt mode and the current state checked). Then:
//   not from the play list: "Details" (5352), "Other songs by artist" (2024), "Top Songs" (2029),
//     "Worst Songs" (2034), "Open Tunora media filler" (2025);
//   in the tray: a separator, "Pause" while playing or else "Play" (1), "Skip" (5), "Exit" (2012);
//   else from the play list: a separator, "Clear List" (2014), and with songs prepared:
//     "Save As Playlist" (2018), "Intervention" (below), a separator, "Remove" (2017),
//     "Play Now" (2019), "Play Next" (2016), "Details" (2015), "Other songs by artist" (2033);
//   else, when the click's area has one, "View".
// "Intervention": "Build Now" (2020) when the build-request word is 0 or "Stop Building" (2021)
//   while a build runs (1..999); "Quit but do not save playlist" (2022); in Network mode its
//   items (2023, 2026 checked when locked offline, 2027 "Set" / "Un-Set Offline mode", 2004);
//   "Test Functions" (7777, checked while on).
// "View" (client width W above 400 only): a click right of W/2 gives the upper-right view's menu
//   ("Cover" 2101, present when a cover picture exists or when neither picture does; "Disc" 2102
//   when a disc picture exists; the five lists only while the lower-left view shows nothing); a
//   click in the left half of a window higher than 500 gives the lower-left view's menu
//   ("Nothing" 2028 and the five lists). The five lists: "Other songs from this album" (2110),
//   "Other songs from the same artist" (2111), "Other songs with same name" (2112),
//   "Other songs with same comment" (2113), "Diagnostics" (2114), each checked when the target
//   view shows it. A menu from the keyboard, the tray or the play list counts as a click at x 0.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "network/network_commands.h"
#include "ui/menu_description.h"

namespace tunora::ui {

inline constexpr int32_t kMenuChoices = 10;
inline constexpr int32_t kViewMenuMinWidth = 400;    // W above this has a "View" submenu
inline constexpr int32_t kLowerLeftMinHeight = 500;  // H above this for the lower-left one

struct PopupInput {
  int32_t songs_prepared = 0;
  bool from_list = false;  // the play list asked for the menu
  bool in_tray = false;
  bool playing = false;
  int32_t client_width = 0;
  int32_t client_height = 0;
  int32_t click_x = 0;  // client x of the click; 0 for the keyboard, the tray and the play list
  int32_t build_request = 0;
  bool network = false;  // the "Network" setting
  // Network mode's items as network::networkMenu gives them (used only with `network` on).
  std::vector<network::NetworkMenuItem> network_items;
  bool test_functions = false;
  int32_t upper_right_view = 1;
  int32_t lower_left_view = 0;
  bool cover_found = false;  // a "Cover" picture exists for the song
  bool disc_found = false;   // a "Disc" picture exists
  bool on_top = false;
  std::array<std::string, kMenuChoices> user_names;
  std::array<std::string, kMenuChoices> alt_names;
  std::array<std::string, kMenuChoices> state_names;
  int32_t state_user = 0;
  int32_t state_alt_mode = 0;
  int32_t current_state = 0;
};

struct PopupMenu {
  MenuSpec description;
  // Set when the menu has a "View" submenu: whether its choices apply to the lower-left view
  // (true) or the upper-right one (false).
  std::optional<bool> view_target_lower_left;
};

PopupMenu buildPopupMenu(const PopupInput& input);

// The command of one of Network mode's items (by its text); 0 for an unknown text.
int32_t networkItemCommand(const std::string& text);

}  // namespace tunora::ui

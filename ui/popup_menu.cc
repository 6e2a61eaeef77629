// The popup menu's description from the state.
#include "ui/popup_menu.h"

#include "engine/shared_words.h"
#include "ui/command_numbers.h"

namespace tunora::ui {

namespace {

struct ListView {
  const char* text;
  int32_t view;
};
constexpr ListView kListViews[] = {
    {"Other songs from this album", kViewAlbum}, {"Other songs from the same artist", kViewArtist},
    {"Other songs with same name", kViewName},   {"Other songs with same comment", kViewComment},
    {"Diagnostics", kViewDiagnostics},
};

std::vector<MenuItem> intervention(const PopupInput& in) {
  std::vector<MenuItem> items;
  if (in.build_request == engine::kBuildIdle) {
    items.push_back(commandItem("Build Now", kCmdBuildNow));
  } else if (in.build_request > 0 && in.build_request < engine::kOfflineStart) {
    items.push_back(commandItem("Stop Building", kCmdStopBuilding));
  }
  items.push_back(commandItem("Quit but do not save playlist", kCmdQuitWithoutSaving));
  if (in.network) {
    for (const network::NetworkMenuItem& item : in.network_items) {
      const int32_t command = networkItemCommand(item.text);
      if (command != 0) items.push_back(commandItem(item.text, command, item.checked));
    }
  }
  items.push_back(commandItem("Test Functions", kCmdTestFunctions, in.test_functions));
  return items;
}

// The "View" submenu for the click's area; empty when the area has none.
std::vector<MenuItem> viewMenu(const PopupInput& in, bool* lower_left) {
  std::vector<MenuItem> items;
  if (in.client_width <= kViewMenuMinWidth) return items;
  int32_t target_view = 0;
  if (in.click_x > in.client_width / 2) {
    *lower_left = false;
    target_view = in.upper_right_view;
    if (in.cover_found || !in.disc_found) {
      items.push_back(
          commandItem("Cover", kCmdViewBase + kViewCover, in.upper_right_view == kViewCover));
    }
    if (in.disc_found) {
      items.push_back(
          commandItem("Disc", kCmdViewBase + kViewDisc, in.upper_right_view == kViewDisc));
    }
    if (in.lower_left_view != kViewNothing) return items;
  } else if (in.client_height > kLowerLeftMinHeight) {
    *lower_left = true;
    target_view = in.lower_left_view;
    items.push_back(
        commandItem("Nothing", kCmdLowerLeftNothing, in.lower_left_view == kViewNothing));
  } else {
    return items;
  }
  for (const ListView& list : kListViews) {
    items.push_back(commandItem(list.text, kCmdViewBase + list.view, target_view == list.view));
  }
  return items;
}

std::vector<MenuItem> choices(const std::array<std::string, kMenuChoices>& names, int32_t base,
                              int32_t current) {
  std::vector<MenuItem> items;
  for (int32_t k = 0; k < kMenuChoices; ++k) {
    items.push_back(commandItem(names[static_cast<size_t>(k)], base + k, k == current));
  }
  return items;
}

}  // namespace

int32_t networkItemCommand(const std::string& text) {
  if (text == network::kRefreshCacheItem) return kCmdRefreshNetworkCache;
  if (text == network::kLockOfflineItem) return kCmdLockOffline;
  if (text == network::kSetOfflineItem || text == network::kUnsetOfflineItem) {
    return kCmdSetOffline;
  }
  if (text == network::kWriteCachedEditsItem) return kCmdWriteCachedEdits;
  return 0;
}

PopupMenu buildPopupMenu(const PopupInput& in) {
  PopupMenu menu;
  std::vector<MenuItem>& root = menu.description.items;
  const bool with_intervention = in.songs_prepared > 0 && in.from_list;
  std::vector<MenuItem> view;
  bool lower_left = false;
  if (!with_intervention) view = viewMenu(in, &lower_left);

  root.push_back(commandItem("Help", kCmdHelp));
  root.push_back(commandItem("About", kCmdAbout));
  root.push_back(commandItem("On Top Toggle", kCmdOnTopToggle, in.on_top));
  root.push_back(submenuItem("User", choices(in.user_names, kCmdUserBase, in.state_user)));
  root.push_back(submenuItem("Mode", choices(in.alt_names, kCmdModeBase, in.state_alt_mode)));
  root.push_back(submenuItem("State", choices(in.state_names, kCmdStateBase, in.current_state)));
  if (!in.from_list) {
    root.push_back(commandItem("Details", kCmdCurrentDetails));
    root.push_back(commandItem("Other songs by artist", kCmdArtistOfSong));
    root.push_back(commandItem("Top Songs", kCmdTopSongs));
    root.push_back(commandItem("Worst Songs", kCmdWorstSongs));
    root.push_back(commandItem("Open Tunora media filler", kCmdOpenFiller));
  }
  if (in.in_tray) {
    root.push_back(separatorItem());
    root.push_back(commandItem(in.playing ? "Pause" : "Play", kCmdPlay));
    root.push_back(commandItem("Skip", kCmdSkip));
    root.push_back(commandItem("Exit", kCmdExit));
  } else if (in.from_list) {
    root.push_back(separatorItem());
    root.push_back(commandItem("Clear List", kCmdClearList));
    if (in.songs_prepared > 0) {
      root.push_back(commandItem("Save As Playlist", kCmdSaveAsPlaylist));
      root.push_back(submenuItem("Intervention", intervention(in)));
      root.push_back(separatorItem());
      root.push_back(commandItem("Remove", kCmdRemoveRow));
      root.push_back(commandItem("Play Now", kCmdPlayNow));
      root.push_back(commandItem("Play Next", kCmdPlayNext));
      root.push_back(commandItem("Details", kCmdRowDetails));
      root.push_back(commandItem("Other songs by artist", kCmdArtistOfRow));
    }
  } else if (!view.empty()) {
    root.push_back(submenuItem("View", std::move(view)));
    menu.view_target_lower_left = lower_left;
  }
  return menu;
}

}  // namespace tunora::ui

// Gathering the popup menu's input.
#include "ui/popup_input.h"

namespace tunora::ui {

PopupInput popupInput(const PopupSources& s, const WindowState& window, int32_t click_x) {
  PopupInput in;
  in.songs_prepared = s.play_list.songsPrepared();
  in.from_list = window.menu_from_list.load() != 0;
  in.in_tray = window.in_tray.load() != 0;
  in.playing = s.words.playing.load() != 0;
  in.client_width = window.client_width.load();
  in.client_height = window.client_height.load();
  in.click_x = click_x;
  in.build_request = s.words.build_request.load();
  in.network = s.settings.get(settings::kNetwork) != 0;
  if (in.network) in.network_items = network::networkMenu(s.words, s.writer, s.queue);
  in.test_functions = s.words.test_functions.load() != 0;
  in.upper_right_view = s.settings.get(settings::kUpperRightView);
  in.lower_left_view = s.settings.get(settings::kLowerLeftView);
  in.cover_found = window.cover.cover_found.load() != 0;
  in.disc_found = window.cover.disc_found.load() != 0;
  in.on_top = s.settings.get(settings::kOnTop) != 0;
  for (uint32_t k = 0; k < static_cast<uint32_t>(kMenuChoices); ++k) {
    in.user_names[k] = s.settings.text(settings::kUserName, k);
    in.alt_names[k] = s.settings.text(settings::kAltName, k);
    in.state_names[k] = s.settings.text(settings::kStateName, k);
  }
  in.state_user = s.settings.stateValue(settings::kStateUser);
  in.state_alt_mode = s.settings.stateValue(settings::kStateAltMode);
  in.current_state = s.settings.get(settings::kCurrentState);
  return in;
}

MenuSpec preparePopupMenu(const PopupSources& sources, WindowState& window, int32_t click_x) {
  PopupMenu menu = buildPopupMenu(popupInput(sources, window, click_x));
  if (menu.view_target_lower_left) {
    window.view_target_lower_left.store(*menu.view_target_lower_left ? 1 : 0);
  }
  return std::move(menu.description);
}

}  // namespace tunora::ui

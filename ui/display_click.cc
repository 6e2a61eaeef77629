// Clicks in the painted display.
#include "ui/display_click.h"

#include "player/player.h"
#include "ui/command_numbers.h"

namespace tunora::ui {

namespace {
constexpr int32_t kWide = 400;
constexpr int32_t kUpperFirstEntry = 50;   // 30 + 20
constexpr int32_t kLowerFirstEntry = 200;  // 180 + 20
constexpr int32_t kLine = 16;

DisplayClick pick(int32_t y, int32_t first_entry, int32_t entries) {
  DisplayClick click;
  if (y < first_entry) return click;
  const int32_t entry = (y - first_entry) / kLine;
  if (entry < entries) {
    click.kind = DisplayClick::Kind::kPickEntry;
    click.entry = entry;
  }
  return click;
}
}  // namespace

DisplayClick classifyDisplayClick(const DisplayClickInput& in) {
  DisplayClick click;
  const int32_t half = in.width / 2;
  if (in.width > kWide && in.x > half) {
    if (isListView(in.upper_right_view)) return pick(in.y, kUpperFirstEntry, in.list_entries);
    if (in.upper_right_view == kViewCover && in.disc_found) {
      click.kind = DisplayClick::Kind::kSwitchView;
      click.new_upper_right_view = kViewDisc;
    } else if (in.upper_right_view == kViewDisc && in.cover_found) {
      click.kind = DisplayClick::Kind::kSwitchView;
      click.new_upper_right_view = kViewCover;
    }
    return click;
  }
  if (in.x < half && isListView(in.lower_left_view)) {
    return pick(in.y, kLowerFirstEntry, in.list_entries);
  }
  return click;
}

DisplayClick handleDisplayClick(int32_t x, int32_t y, Settings& settings, WindowState& window,
                                engine::SharedWords& words, player::PlayerState& player) {
  DisplayClickInput in;
  in.x = x;
  in.y = y;
  in.width = window.client_width.load();
  in.upper_right_view = settings.get(settings::kUpperRightView);
  in.lower_left_view = settings.get(settings::kLowerLeftView);
  const QuickLinkList list = window.quick_links.list();
  in.list_entries = window.quick_links.loaded() ? static_cast<int32_t>(list.entries.size()) : 0;
  in.cover_found = window.cover.cover_found.load() != 0;
  in.disc_found = window.cover.disc_found.load() != 0;

  const DisplayClick click = classifyDisplayClick(in);
  if (click.kind == DisplayClick::Kind::kSwitchView) {
    settings.set(settings::kUpperRightView, click.new_upper_right_view);
    window.cover.markForReload();
  } else if (click.kind == DisplayClick::Kind::kPickEntry) {
    const int32_t record = list.entries[static_cast<size_t>(click.entry)].record;
    if (record < 0) return DisplayClick{};  // a line that stands for no song (Diagnostics)
    player.setCurrentSlot(record);
    player.play_chosen.store(1);
    words.player_request.store(player::kRequestPlay);
  }
  return click;
}

}  // namespace tunora::ui

// Gathering the paint list's input.
#include "ui/display_input.h"

#include "util/text_codec.h"

namespace tunora::ui {

PaintInput displayInput(const player::PlayerState& player, const Settings& settings,
                        const WindowState& window) {
  PaintInput in;
  in.width = window.client_width.load();
  in.height = window.client_height.load();
  const player::SongDetails song = player.current();
  // Stored texts are UTF-8 or Windows-1252: the display shortens and draws UTF-8.
  in.song = {displayText(player.playPath()), displayText(song.title), displayText(song.artist),
             displayText(song.album), displayText(song.note)};
  in.score = song.rating;
  for (uint32_t k = 0; k < in.rating_values.size(); ++k) {
    in.rating_values[k] = settings.get(settings::kRatingValue, k);
  }
  in.upper_right_view = settings.get(settings::kUpperRightView);
  in.lower_left_view = settings.get(settings::kLowerLeftView);
  in.list_loaded = window.quick_links.loaded();
  if (in.list_loaded) {
    in.list = window.quick_links.list();
    in.list.header = displayText(in.list.header);
    for (auto& entry : in.list.entries) entry.text = displayText(entry.text);
  }
  in.cover_ready =
      window.cover.ready.load() != 0 && window.cover.failures.load() < kCoverDrawFailureLimit;
  return in;
}

}  // namespace tunora::ui

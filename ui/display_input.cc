// Gathering the paint list's input.
#include "ui/display_input.h"

namespace tunora::ui {

PaintInput displayInput(const player::PlayerState& player, const Settings& settings,
                        const WindowState& window) {
  PaintInput in;
  in.width = window.client_width.load();
  in.height = window.client_height.load();
  const player::SongDetails song = player.current();
  in.song = {player.playPath(), song.title, song.artist, song.album, song.note};
  in.score = song.rating;
  for (uint32_t k = 0; k < in.rating_values.size(); ++k) {
    in.rating_values[k] = settings.get(settings::kRatingValue, k);
  }
  in.upper_right_view = settings.get(settings::kUpperRightView);
  in.lower_left_view = settings.get(settings::kLowerLeftView);
  in.list_loaded = window.quick_links.loaded();
  if (in.list_loaded) in.list = window.quick_links.list();
  in.cover_ready =
      window.cover.ready.load() != 0 && window.cover.failures.load() < kCoverDrawFailureLimit;
  return in;
}

}  // namespace tunora::ui

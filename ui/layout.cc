// The main window's layout arithmetic.
#include "ui/layout.h"

#include <algorithm>

#include "player/player.h"

namespace tunora::ui {

namespace {
constexpr int32_t kWide = 400;
constexpr int32_t kTallForList = 250;
constexpr int32_t kListBelowHalf = 36;
constexpr int32_t kListShorter = 94;
constexpr int32_t kSliderBelowHalf = 14;
constexpr int32_t kSliderLowestTop = 60;
constexpr int32_t kSliderHeight = 20;
constexpr int32_t kNarrowVideo = 400;
}  // namespace

Layout computeLayout(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  Layout layout;
  const int32_t half = height / 2;
  const int32_t top = height > kTallForList ? half + kListBelowHalf : height;
  layout.list = {0, top, width, std::max(top - kListShorter, 0)};
  layout.list_visible = height > kTallForList;

  const int32_t slider_top = half < kSliderLowestTop ? kSliderLowestTop : half + kSliderBelowHalf;
  layout.slider = {0, slider_top, width > kWide ? width / 2 : width, kSliderHeight};

  if (width > kWide) {
    layout.video = {width / 2, kDisplayTop, width / 2, half};
    layout.status_part_edges = {width / 4, width / 2, 3 * width / 4, width};
  } else {
    layout.video = {0, kDisplayTop, kNarrowVideo, kNarrowVideo};
    layout.status_part_edges = {width / 2, width};
  }
  return layout;
}

bool requestVideoMove(engine::SharedWords& words) {
  if (words.playing.load() == 0) return false;
  int32_t expected = 0;
  return words.player_request.compare_exchange_strong(expected, player::kRequestMoveVideo);
}

}  // namespace tunora::ui

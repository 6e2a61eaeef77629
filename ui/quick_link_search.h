// The search behind a quick-link list: the library's other songs whose album, artist, title or
// comment equals the playing song's, best rated first for the user, at most 25.
//
// For rating number k = 10 down to 0 the records whose column equals the key (letter case of
// ASCII letters ignored) are walked in slot order; a live record whose rating number for the user
// is k, other than the playing song's, becomes an entry: its title, " - k" with "Show Rate" on,
// " (V)" with "Mark Vid" on for a video file. A walk stops at 25 entries and as soon as the
// shared lock's request word is set (another thread waits for the database: the search yields,
// keeping what it found). After each k that leaves the list short of 25 with more than 3 entries
// added since the last report, the list so far is reported, so the display grows while the
// search runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "library/rating.h"
#include "marlbase/table_handle.h"
#include "ui/window_state.h"

namespace tunora::ui {

struct QuickLinkOptions {
  int32_t user = 0;  // 0..9; any other number reads user 0's ratings
  // The playing song's slot: it is not one of the "other songs" and is never listed (-1: none).
  int32_t playing_slot = -1;
  RatingThresholds thresholds{};
  bool show_rate = true;
  bool mark_video = true;
};

struct QuickLinkSearch {
  std::vector<QuickLinkEntry> entries;
  bool yielded = false;  // stopped early because the request word was set
};

using QuickLinkProgress = std::function<void(const std::vector<QuickLinkEntry>&)>;

// Searches the open table. `request_word` is the shared lock's request word; `progress` (may be
// empty) receives the partial lists. An empty key finds nothing.
QuickLinkSearch searchRelated(marlbase::TableHandle& table, int32_t column, std::string_view key,
                              const QuickLinkOptions& options,
                              const std::atomic<int32_t>& request_word,
                              const QuickLinkProgress& progress);

}  // namespace tunora::ui

// The quick-link list builder: the short worker the supervisor starts while a song plays, the
// list is not loaded and either view shows a list. It takes grant 33 of the shared lock and
// builds the list for the view that shows one (the lower-left view's when it is a list, else the
// upper-right view's):
//   10 "Other songs from this album", 11 "Other songs from the same artist",
//   12 "Other songs with same name", 13 "Other songs with same comment": the header and the
//     search of quick_link_search.h on the playing song's album, artist, title or comment (the
//     playing song itself is left out: up to 25 others);
//   14 "Diagnostics": the header and one line, the play path (it stands for no record);
//   any other value: 25 lines of "Tunora 1.9".
// The list is stored into WindowState::quick_links (loaded), partial lists while it grows, and
// the list's area repainted each time. A list started for one song or view is dropped when the
// player or the window asked for a reload meanwhile (the next run builds the right one).
//
// Register with Supervisor::addWorker after the cover loader and before the next-song details
// loader: addWorker([&]{ return builder.wanted(); }, [&]{ builder.run(); }).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/library_access.h"
#include "engine/shared_lock.h"
#include "player/player_state.h"
#include "settings/settings.h"
#include "ui/geometry.h"
#include "ui/window_state.h"

namespace tunora::ui {

inline constexpr char kQuickLinkFiller[] = "Tunora 1.9";

// The kind of list the views ask for: the lower-left view when it is 10 or more, else the
// upper-right view.
constexpr int32_t quickLinkKind(int32_t upper_right_view, int32_t lower_left_view) {
  return lower_left_view >= 10 ? lower_left_view : upper_right_view;
}

// The header line of a kind; nullptr for kinds that have none.
const char* quickLinkHeader(int32_t kind);

// The area a quick-link list is drawn in: x from W/2 (the upper-right list, lower-left view
// below 10) or 0, to W/2 (the lower-left list) or W; y from 30 to H/2 + 100.
Rect quickLinkRepaintArea(int32_t width, int32_t height, int32_t lower_left_view);

struct QuickLinkParts {
  engine::SharedLock& lock;
  engine::LibraryAccess& library;
  const Settings& settings;
  const player::PlayerState& player;
  WindowState& window;
  // Repaints a rectangle of the window (queued to the window thread). May be empty.
  std::function<void(const Rect&)> repaint;
};

class QuickLinkBuilder {
 public:
  explicit QuickLinkBuilder(QuickLinkParts parts) : p_(std::move(parts)) {}

  // The supervisor's condition: playing, the list not loaded, either view a list, no build
  // running.
  bool wanted() const;
  // The builder's body (buildQuickLinkList). Nothing when a grant is held or a build runs; no
  // grant within the wait: nothing built (a later tick tries again).
  void run();
  bool busy() const { return busy_.load() != 0; }

 private:
  void build(uint64_t generation);
  void publish(uint64_t generation, QuickLinkList list);

  QuickLinkParts p_;
  std::atomic<int32_t> busy_{0};
};

}  // namespace tunora::ui

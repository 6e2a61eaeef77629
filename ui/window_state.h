// The main window's own state words and the display's shared data: the client size, the in-tray
// and menu flags, the view menu's target, the quick-link list and the cover picture's flags.
// The window thread writes most of it; the supervisor, the player, the cover loader and the
// quick-link builder read or set their parts. Every word is atomic; the quick-link list's texts
// are guarded by their own mutex.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tunora::ui {

inline constexpr int32_t kQuickLinkMaxEntries = 25;

struct QuickLinkEntry {
  std::string text;
  int32_t record = -1;  // the library record the line stands for
};

// A quick-link list as built (header line and up to 25 entries).
struct QuickLinkList {
  std::string header;
  std::vector<QuickLinkEntry> entries;
};

// The quick-link list shared between its builder (any thread) and the display.
class QuickLinks {
 public:
  QuickLinkList list() const {
    std::lock_guard lock(mu_);
    return list_;
  }
  // Stores a built list (entries beyond 25 are dropped) and marks it loaded.
  void setList(QuickLinkList list) {
    if (list.entries.size() > kQuickLinkMaxEntries) list.entries.resize(kQuickLinkMaxEntries);
    std::lock_guard lock(mu_);
    list_ = std::move(list);
    loaded_.store(1);
  }
  bool loaded() const { return loaded_.load() != 0; }
  // The list is to be built again (new song, other view). A builder that started before this
  // call no longer publishes its list.
  void markForReload() {
    std::lock_guard lock(mu_);
    ++generation_;
    loaded_.store(0);
  }
  // The reload count, read by a builder when it starts.
  uint64_t generation() const {
    std::lock_guard lock(mu_);
    return generation_;
  }
  // setList, but only while no reload was asked for since `generation` was read. False when the
  // list was dropped.
  bool publish(uint64_t generation, QuickLinkList list) {
    if (list.entries.size() > kQuickLinkMaxEntries) list.entries.resize(kQuickLinkMaxEntries);
    std::lock_guard lock(mu_);
    if (generation != generation_) return false;
    list_ = std::move(list);
    loaded_.store(1);
    return true;
  }

 private:
  mutable std::mutex mu_;
  QuickLinkList list_;
  std::atomic<int32_t> loaded_{0};
  uint64_t generation_ = 0;
};

// The cover picture's flags (the pixels themselves belong to the window's toolkit).
struct CoverFlags {
  std::atomic<int32_t> ready{0};        // a decoded picture may be drawn
  std::atomic<int32_t> busy{0};         // a loader runs
  std::atomic<int32_t> failures{0};     // failed loads for this song (0..2)
  std::atomic<int32_t> cover_found{0};  // a "Cover" picture (or another picture) exists
  std::atomic<int32_t> disc_found{0};   // a "Disc" picture exists
  std::atomic<int32_t> lookup_done{0};  // the search ran for this song and view
  std::atomic<int32_t> width{0};        // the decoded picture's size
  std::atomic<int32_t> height{0};

  // A new song or another view: the picture is to be looked up and loaded again.
  void markForReload() {
    ready.store(0);
    lookup_done.store(0);
  }
  // The player starts a new song.
  void resetForNewSong() {
    markForReload();
    failures.store(0);
    busy.store(0);
  }
};

struct WindowState {
  // The client area's size at the last layout.
  std::atomic<int32_t> client_width{0};
  std::atomic<int32_t> client_height{0};
  // 1 while the window is hidden with only the tray icon showing.
  std::atomic<int32_t> in_tray{0};
  // Set when the play list asked for the popup menu; cleared when any popup menu closes.
  std::atomic<int32_t> menu_from_list{0};
  // The "View" submenu's target: 1 the lower-left view, 0 the upper-right view.
  std::atomic<int32_t> view_target_lower_left{0};
  // 1 while start-up still opens the database (context menus are ignored).
  std::atomic<int32_t> opening_database{0};

  QuickLinks quick_links;
  CoverFlags cover;
};

}  // namespace tunora::ui

// The start-up record: what start-up works out once and the rest of the program reads, kept for
// the life of the process. The program object owns it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "app/directories.h"
#include "app/instance_lock.h"
#include "engine/song_draw.h"
#include "settings/fixed_user.h"
#include "ui/window_context.h"

namespace tunora {

inline constexpr char kVersionTitle[] = "Tunora 1.9";
inline constexpr char kLibraryFileName[] = "Tunora.mbf";
inline constexpr char kLocalCopyFileName[] = "Local.mbf";

// The Network-mode part (fixed user, local copy) and the two folders come from
// ui::WindowContext, which is what the window reads.
struct AppContext : ui::WindowContext {
  // Set when start-up decides that the main window is not to run (a media filler run).
  bool quit = false;
  InstanceLock instance_lock;
  std::array<uint8_t, kDefSetTextSize> defset_text{};

  // 1 when playback is to start as soon as the window is up; read by the window and the player.
  std::atomic<int32_t> play_on_start{0};
  // The song most recently added to the play list (the list builder's).
  std::string last_added_path = engine::kInitialLastAddedPath;
};

}  // namespace tunora

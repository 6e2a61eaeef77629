// What the window's dialogs and windows (song details, search, options, internals, the Database
// dialog, the media filler) reach of the program. Everything here outlives the main window.
// The dialogs run on the GUI thread and never take the database lock there: work that needs the
// lock runs on a thread of `threads` and posts its results back with a queued call.
#pragma once

#include "engine/list_builder.h"
#include "engine/play_list.h"
#include "engine/shared_lock.h"
#include "engine/state_switch.h"
#include "engine/status_message.h"
#include "engine/thread_set.h"
#include "engine/update_queue.h"
#include "engine/update_writer.h"
#include "engine/window_channel.h"
#include "network/buffering.h"
#include "network/library_opening.h"
#include "platform/message_dialog.h"
#include "player/player_state.h"
#include "settings/settings.h"
#include "ui/window_context.h"
#include "util/env.h"

namespace tunora::ui::qt {

// The program's side, given by the composition root.
struct DialogSources {
  Env& env;
  network::LibraryOpening& library;
  engine::ThreadSet& threads;
  engine::ListBuilder& builder;
  engine::StateSwitcher& state_switcher;
  // The song buffering (the options dialog's "Buffer").
  network::Buffering& buffering;
};

// Everything a dialog may use.
struct DialogParts {
  Env& env;
  engine::SharedLock& lock;
  Settings& settings;
  network::LibraryOpening& library;
  engine::PlayList& play_list;
  engine::StatusMessage& status;
  player::PlayerState& player;
  WindowContext& context;
  engine::ThreadSet& threads;
  engine::ListBuilder& builder;
  engine::StateSwitcher& state_switcher;
  MessageDialog& dialog;
  // The main window's command channel (any thread).
  engine::WindowChannel& channel;
  // The options and internals dialogs: the song buffering, the update writer and its queue.
  network::Buffering& buffering;
  engine::UpdateWriter& writer;
  const engine::UpdateQueue& queue;
};

}  // namespace tunora::ui::qt

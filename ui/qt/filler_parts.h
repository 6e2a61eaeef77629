// What the media filler window works with: the program's parts for the fill and the folders it
// must never empty. No Qt type, so that the composition root can fill it in.
#pragma once

#include <string>

#include "engine/library_access.h"
#include "engine/list_builder.h"
#include "engine/shared_lock.h"
#include "engine/thread_set.h"
#include "filler/fill_files.h"
#include "network/network_context.h"
#include "platform/message_dialog.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora::ui::qt {

struct FillerWindowParts {
  Settings& settings;
  engine::SharedLock& lock;
  engine::ListBuilder& builder;
  engine::LibraryAccess& library;
  filler::FillFiles& files;
  engine::ThreadSet& threads;
  MessageDialog& dialog;
  Env& env;
  // Network mode: the fill's own local copy lives here (may be null: no Network mode).
  network::NetworkContext* network = nullptr;
  std::string data_directory;     // ends in "/": "dTnFill.dat", "Fill.mbf"
  std::string program_directory;  // never emptied
  std::string home_directory;     // never emptied
};

}  // namespace tunora::ui::qt

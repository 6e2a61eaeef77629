// The start-up sequence up to the point where the window code takes over: directories, the
// instance lock, settings and library, the play-on-start flag, the fixed user and the command
// line. The caller then shows the media filler or creates the main window.
#pragma once

#include <string>

#include "app/app_context.h"
#include "app/directories.h"
#include "app/instance_lock.h"
#include "engine/library_access.h"
#include "platform/message_dialog.h"
#include "platform/welcome.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora {

struct StartUpInputs {
  std::string command_line;  // the whole line, program first (joinCommandLine builds it)
  DirectoryProbe probe;
  std::string lock_path;  // instanceLockPath() for the real program
  // Hands the start over to a running player (app/instance_lock.h); none: a second start waits
  // and ends.
  HandOver hand_over;
  Env* env = nullptr;
  ui::MessageDialog* dialog = nullptr;
  ui::WelcomeDialog* welcome = nullptr;
  // The program's library opening over the `settings` passed to startUp.
  engine::LibraryAccess* library = nullptr;
};

enum class StartUpOutcome {
  kRunMainWindow,         // create the main window and run the message loop
  kRunFiller,             // show only the media filler (the context's quit flag is set)
  kHandedOver,            // end: a running player took the start over
  kAnotherPlayerRunning,  // end: a player runs and did not take the start over
  kEndProgram,            // end: the settings file cannot be upgraded (the user was told)
};

// Runs the sequence, filling `context` and `settings`; the library's table is closed on return.
// The temporary files of saves that a kill cut short are removed from the data directory
// (util/stale_temp_files.h).
// In every outcome the caller ends the process itself (exit code 1).
StartUpOutcome startUp(const StartUpInputs& inputs, AppContext& context, Settings& settings);

}  // namespace tunora

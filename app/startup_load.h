// Loading the settings and the library at start-up, creating both on the first run.
#pragma once

#include <string>

#include "app/app_context.h"
#include "engine/library_access.h"
#include "platform/message_dialog.h"
#include "platform/welcome.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace tunora {

inline constexpr char kNotUpgradableMessage[] =
    "Sorry, you need to install version 1.3 first to upgrade your database";

struct StartupLoadResult {
  bool end_program = false;      // the settings file cannot be upgraded; the program ends
  bool first_run = false;        // no settings file could be opened
  bool created_library = false;  // a new empty song table was made
  std::string repair_note;       // the library's lost blank first record was given back
  SettingsLoadResult settings_file;
};

// The upgrade of a record read from a settings file whose version check gave `version`, as
// start-up applies it (step 3 below): upgradeSettings; "Playlist.m3u" copied over "PL1.m3u" in
// the data directory for 3xx; the welcome dialog in upgrade mode where asked. Below version 300
// it shows the message dialog ("View ReadMe" if chosen) and returns false: the program ends.
bool applySettingsUpgrade(const AppContext& context, Settings& settings, int version,
                          ui::MessageDialog& dialog, ui::WelcomeDialog& welcome);

// Runs the load sequence with the context's directories:
//  1. loadSettings (data directory, else program directory);
//  2. first run: the full reset and the "Default" rating values, the welcome dialog, the library
//     path data directory + "Tunora.mbf", and a new song table there unless one exists;
//  3. an older or unrecognised file: its upgrade; "Playlist.m3u" copied over "PL1.m3u" for
//     3xx; the welcome dialog in upgrade mode where asked; for a file below version 300 the
//     message dialog, "View ReadMe" if chosen, and a result that ends the program;
//  4. the network copy's refresh counter 200 and its path data directory + "Local.mbf"; the
//     library opened once for reading and closed, a new song table made when none opened; a
//     library without its blank first record opened for writing and repaired (a note on stderr);
//  5. unless the file was current: "Cover.jpg", ".bmp" or ".gif" copied from the program
//     directory when the data directory has none;
//  6. state 0's user and alt mode above 9 set to 0, `EditQueueCount` -1, `SizeCheck` 1.
// The settings file itself is not written (that waits for the first save). `library` opens the
// table that `settings` names (the program object's library over its settings); its table is
// closed on return.
StartupLoadResult loadSettingsAndLibrary(AppContext& context, Settings& settings,
                                         engine::LibraryAccess& library, ui::MessageDialog& dialog,
                                         ui::WelcomeDialog& welcome);

}  // namespace tunora

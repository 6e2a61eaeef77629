// Loading the settings and the library at start-up, creating both on the first run.
#pragma once

#include "app/app_context.h"
#include "app/library_opener.h"
#include "app/startup_ui.h"
#include "marlbase/table_handle.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace tunora {

inline constexpr char kNotUpgradableMessage[] =
    "Sorry, you need to install version 1.3 first to upgrade your database";

struct StartupLoadResult {
  bool end_program = false;     // the settings file cannot be upgraded; the program ends
  bool first_run = false;       // no settings file could be opened
  bool created_library = false; // a new empty song table was made
  SettingsLoadResult settings_file;
};

// Runs the load sequence with the context's directories:
//  1. loadSettings (data directory, else program directory);
//  2. first run: the full reset and the "Default" rating values, the welcome dialog, the library
//     path data directory + "Tunora.mbf", and a new song table there unless one exists;
//  3. an older or unrecognised file: its upgrade; "Playlist.m3u" copied over "PL1.m3u" for
//     3xx; the welcome dialog in upgrade mode where asked; for a file below version 300 the
//     message dialog, "View ReadMe" if chosen, and a result that ends the program;
//  4. the network copy's refresh counter 200 and its path data directory + "Local.mbf"; the
//     library opened once for reading and closed, a new song table made when none opened;
//  5. unless the file was current: "Cover.jpg", ".bmp" or ".gif" copied from the program
//     directory when the data directory has none;
//  6. state 0's user and alt mode above 9 set to 0, `EditQueueCount` -1, `SizeCheck` 1.
// The settings file itself is not written (that waits for the first save). `table` is closed on
// return.
StartupLoadResult loadSettingsAndLibrary(AppContext& context, Settings& settings,
                                         marlbase::TableHandle& table, StartupUi& ui,
                                         LibraryOpener& opener);

}  // namespace tunora

// The Database dialog's work without a window: which inputs a function asks for, the function
// thread (the grant of code 32, the library opened for writing, the function, the end steps),
// the import source taken from the path edit, and "ChangeDB" / "NewDB" under the grant of code
// 28. The dialog asks its questions first, on its own thread; the work here runs on a worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/library_access.h"
#include "engine/shared_lock.h"
#include "maintenance/db_functions.h"
#include "settings/settings.h"

namespace tunora::maintenance {

inline constexpr char kIdleText[] = "Idle";
inline constexpr char kFinishedText[] = "Finished";
// "Save DB as Playlist" proposes this file name.
inline constexpr char kProposedPlaylistName[] = "PL1.m3u";
// The longest import source the path edit passes on (bytes).
inline constexpr size_t kImportSourceLimit = 600;

// What a function asks the user for before its confirmations.
enum class DbInputKind {
  kNone,
  kPlaylistFile,  // the file-save chooser
  kOneUser,       // user A on the number keypad
  kTwoUsers,      // users A and B on the number keypad
  kStartFrom,     // the "Start From" input line
};
DbInputKind inputKindOf(DbFunction function);

// A user picked on the number keypad (its answer: 0..10, 13 for "D", nullopt for "Cancel"):
// 1..10, or 0 when the pick refuses the function ("Cancel", "0", "D").
int32_t keypadUser(std::optional<int32_t> button);

// The library is offline (Network mode): the build-request word is above 999.
bool libraryOffline(const engine::SharedWords& words);

// The settings the functions read, taken once when a function starts.
DbValues dbValuesOf(const Settings& settings);

// The function itself; tests replace it to hold a run at a known point.
using DbRunner = std::function<DbResult(DbFunction, marlbase::TableHandle&, const DbInputs&,
                                        const DbValues&, const std::atomic<bool>*, DbProgress*)>;

struct FunctionThreadParts {
  engine::SharedLock& lock;
  engine::LibraryAccess& library;
  // The list builder's message flag, cleared when the function starts.
  std::atomic<int32_t>& message_flag;
  // Network mode's refresh counter of the local copy: 100 after every run.
  std::atomic<int32_t>& refresh_counter;
};

enum class FunctionEnd {
  kOffline,     // nothing done
  kNotGranted,  // the lock was not granted: nothing done
  kNotOpened,   // the library could not be opened for writing: nothing done
  kRan,         // the function ran (see the result)
};
struct FunctionOutcome {
  FunctionEnd end = FunctionEnd::kOffline;
  DbResult result;
};

// The function thread's body: ends at once while the library is offline; takes the grant of code
// 32 (patience 2); clears the message flag and turns a pending build request (1..999) into 10;
// shows the confirmation text on line 1, opens the library for writing, runs the function and
// closes the library; line 1 then says "Finished" and line 2 the result (or why it failed). Once
// granted, the refresh counter becomes 100 in every case and the grant is released. The
// inputs must have passed refusalOf; `abort` is polled between records.
FunctionOutcome runFunctionThread(FunctionThreadParts& parts, DbFunction function,
                                  const DbInputs& inputs, const DbValues& values,
                                  const std::atomic<bool>* abort, DbProgress& progress,
                                  const DbRunner& runner = runDbFunction);

// Status line 2 after a run: the line of counts, or the reason the function could not work.
std::string finishedLine2(DbFunction function, const DbResult& result);
// Status line 2 when the inputs refuse a function, e.g. "Copy Ratings refused: copying a user's
// ratings onto the same user".
std::string refusedLine(DbFunction function, const std::string& reason);

// The import source from the path edit: cut to 600 bytes; a folder that exists is given its
// closing "/" (the import takes the folder of the source, so "/music" would import "/").
std::string importSourceOf(const std::string& edit_text);
// A folder chosen with the folder chooser as an import source: the folder with a closing "/".
std::string folderSource(const std::string& folder);

// "ChangeDB" and "NewDB": the chosen file becomes the library.
enum class DbChangeKind { kChange, kNew };
enum class DbChangeEnd {
  kNotGranted,    // the lock was not granted: nothing changed
  kNotSongTable,  // "ChangeDB" on a file that is not a song table: nothing changed
  kCreateFailed,  // "NewDB" could not create the table: nothing changed
  kChanged,       // `DatabasePath` is the chosen file
  kCreated,       // a new song table was created there and is the library
};
struct DbChangeParts {
  engine::SharedLock& lock;
  Settings& settings;
  std::atomic<int32_t>& refresh_counter;
  // Saves the settings file; called after the grant is released when the library changed.
  std::function<void()> save_settings;
  // The program's library opening (may be null): the new library is opened once and closed
  // under the grant, so that its handle counts the new library's songs.
  engine::LibraryAccess* library = nullptr;
  // Recomposes the status bar ("N entries"); called last when the library changed. May be empty.
  std::function<void()> refresh_status;
};

// Under the grant of code 28 (patience 10): "ChangeDB" takes the chosen file when it holds a
// song table; "NewDB" creates a new song table when no file is there, and takes an existing
// file as "ChangeDB" does (it never replaces one). When the library changed: `DatabasePath` :=
// the file, the build-request word := 0, the refresh counter := 100, the new library opened and
// closed once (its counts read); the grant is released, the settings saved and the status bar
// refreshed.
DbChangeEnd changeDatabase(DbChangeParts& parts, DbChangeKind kind, const std::string& chosen);

// Status line 2 after "ChangeDB" / "NewDB": the new library's path, or why nothing changed.
std::string changeLine2(DbChangeEnd end, const std::string& chosen);

}  // namespace tunora::maintenance

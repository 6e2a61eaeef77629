// The codes that name the holder of the shared lock, and the quit codes carried by the same words.
// Codes below 20 are window requests that the request executor carries out itself; 20 to 39 are
// worker threads, which take the grant and do their own work.
#pragma once

#include <cstdint>

namespace tunora::engine {

// Request executor work for the window.
inline constexpr int32_t kCodeOpenDetailsOfRow = 1;
inline constexpr int32_t kCodeStoreRating = 2;
inline constexpr int32_t kCodeDropRowsAndPlay = 3;
inline constexpr int32_t kCodeClearList = 4;
inline constexpr int32_t kCodeClearListAndSkip = 5;
inline constexpr int32_t kCodeRemoveRow = 10;
inline constexpr int32_t kCodeSaveAsPlaylist = 11;
inline constexpr int32_t kCodePlayRowNow = 12;
inline constexpr int32_t kCodeOpenDatabaseDialog = 13;
inline constexpr int32_t kCodeMoveRowToTop = 14;

// Worker threads.
inline constexpr int32_t kCodePlayer = 20;
inline constexpr int32_t kCodeDetailsLoader = 21;
inline constexpr int32_t kCodeChecksumPass = 25;
inline constexpr int32_t kCodeSearchWindow = 26;
inline constexpr int32_t kCodeUpdateWriter = 27;
inline constexpr int32_t kCodeDatabaseDialog = 28;
inline constexpr int32_t kCodeImport = 30;
inline constexpr int32_t kCodePutAtTop = 31;
inline constexpr int32_t kCodeDatabaseFunction = 32;
inline constexpr int32_t kCodeQuickLinks = 33;
inline constexpr int32_t kCodeListBuilder = 34;
inline constexpr int32_t kCodeSongDetails = 36;
inline constexpr int32_t kCodeStateSwitch = 37;

// The quit: requested by the window (may take the request word over from anybody), in progress
// (set by the supervisor from 66), final (the last database writes are done).
inline constexpr int32_t kQuitRequested = 66;
inline constexpr int32_t kQuitInProgress = 665;
inline constexpr int32_t kQuitFinal = 666;

// The first code that is not executor work, and the first that is not a worker's.
inline constexpr int32_t kFirstWorkerCode = 20;
inline constexpr int32_t kEndOfWorkerCodes = 40;

inline constexpr bool isExecutorCode(int32_t code) { return code >= 1 && code < kFirstWorkerCode; }
inline constexpr bool isWorkerCode(int32_t code) {
  return code >= kFirstWorkerCode && code < kEndOfWorkerCodes;
}
inline constexpr bool isQuitCode(int32_t code) {
  return code == kQuitRequested || code == kQuitInProgress || code == kQuitFinal;
}

// Commands that threads post to the main window's command channel; the window's own list of
// commands (ui/command_numbers.h) takes these from here.
inline constexpr int32_t kCommandPlay = 1;
inline constexpr int32_t kCommandSkip = 5;
inline constexpr int32_t kCommandDatabaseDialog = 9;
inline constexpr int32_t kCommandFinishQuit = 2031;
inline constexpr int32_t kCommandOpenDetails = 2032;

}  // namespace tunora::engine

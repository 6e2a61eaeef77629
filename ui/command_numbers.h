// The main window's command numbers: every toolbar button, key, menu item, tray click and
// worker thread reaches the window as one of these on its command channel. The ones the engine's
// threads post are defined by the engine (engine/lock_codes.h) and only named here.
#pragma once

#include <cstdint>

#include "engine/lock_codes.h"

namespace tunora::ui {

inline constexpr int32_t kCmdPlay = engine::kCommandPlay;  // play, or pause while playing
inline constexpr int32_t kCmdStop = 2;
inline constexpr int32_t kCmdRestart = 3;   // back to the start of the song
inline constexpr int32_t kCmdPlayLast = 4;  // play the last song again
inline constexpr int32_t kCmdSkip = engine::kCommandSkip;
inline constexpr int32_t kCmdRate = 6;
inline constexpr int32_t kCmdSearch = 7;
inline constexpr int32_t kCmdDatabaseDialog = engine::kCommandDatabaseDialog;
inline constexpr int32_t kCmdOptions = 10;
inline constexpr int32_t kCmdHelp = 11;
inline constexpr int32_t kCmdWriteCachedEdits = 2004;
inline constexpr int32_t kCmdShowMaximized = 2005;
inline constexpr int32_t kCmdAbout = 2006;
inline constexpr int32_t kCmdExit = 2012;
inline constexpr int32_t kCmdClearList = 2014;
inline constexpr int32_t kCmdRowDetails = 2015;
inline constexpr int32_t kCmdPlayNext = 2016;
inline constexpr int32_t kCmdRemoveRow = 2017;
inline constexpr int32_t kCmdSaveAsPlaylist = 2018;
inline constexpr int32_t kCmdPlayNow = 2019;
inline constexpr int32_t kCmdBuildNow = 2020;
inline constexpr int32_t kCmdStopBuilding = 2021;
inline constexpr int32_t kCmdQuitWithoutSaving = 2022;
inline constexpr int32_t kCmdRefreshNetworkCache = 2023;
inline constexpr int32_t kCmdArtistOfSong = 2024;  // search: the current song's artist
inline constexpr int32_t kCmdOpenFiller = 2025;
inline constexpr int32_t kCmdLockOffline = 2026;
inline constexpr int32_t kCmdSetOffline = 2027;  // "Set" or "Un-Set Offline mode"
inline constexpr int32_t kCmdLowerLeftNothing = 2028;
inline constexpr int32_t kCmdTopSongs = 2029;
inline constexpr int32_t kCmdFinishQuit = engine::kCommandFinishQuit;        // the end of the quit
inline constexpr int32_t kCmdDetailsOfRecord = engine::kCommandOpenDetails;  // parameter: record
inline constexpr int32_t kCmdArtistOfRow = 2033;  // search: the focused row's artist
inline constexpr int32_t kCmdWorstSongs = 2034;
inline constexpr int32_t kCmdViewBase = 2100;   // 2101 Cover .. 2114 Diagnostics
inline constexpr int32_t kCmdUserBase = 2200;   // 2200..2209
inline constexpr int32_t kCmdModeBase = 2220;   // 2220..2229
inline constexpr int32_t kCmdStateBase = 2240;  // 2240..2249
inline constexpr int32_t kCmdOnTopToggle = 5000;
inline constexpr int32_t kCmdPlayBack = 5250;  // F key: player request 8
inline constexpr int32_t kCmdCurrentDetails = 5352;
inline constexpr int32_t kCmdAboutToo = 5402;
inline constexpr int32_t kCmdTestFunctions = 7777;

// Views of the display (UpperRightView, LowerLeftView).
inline constexpr int32_t kViewNothing = 0;  // lower-left only
inline constexpr int32_t kViewCover = 1;
inline constexpr int32_t kViewDisc = 2;
inline constexpr int32_t kViewAlbum = 10;
inline constexpr int32_t kViewArtist = 11;
inline constexpr int32_t kViewName = 12;
inline constexpr int32_t kViewComment = 13;
inline constexpr int32_t kViewDiagnostics = 14;
inline constexpr bool isListView(int32_t view) {
  return view >= kViewAlbum && view <= kViewDiagnostics;
}

// Images of the first toolbar button.
inline constexpr int32_t kPlayButtonImage = 0;
inline constexpr int32_t kPauseButtonImage = 12;

}  // namespace tunora::ui

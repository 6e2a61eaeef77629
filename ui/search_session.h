// The search window's work without a toolkit: what each search mode does, the rows' texts, the
// prompt and the "No matches found" question, and the session the window's worker thread runs:
// ask for the text (mode 0), wait for the database grant (code 26) while no other thread waits
// for the lock, find the rows, and on no phrase hit ask whether to search again.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/library_access.h"
#include "engine/shared_lock.h"
#include "maintenance/song_search.h"
#include "platform/message_dialog.h"
#include "settings/settings.h"
#include "ui/window_actions.h"
#include "util/env.h"

namespace tunora::ui {

inline constexpr char kSearchWindowTitle[] = "Search";
inline constexpr char kSearchButton[] = "Search";
inline constexpr char kSearchAgainButton[] = "Search again";
inline constexpr char kCloseSearchButton[] = "Close Search window";
inline constexpr size_t kSearchTextLimit = 600;  // bytes of the shared search text

inline constexpr int32_t kSearchColumns = 7;
inline constexpr std::array<const char*, kSearchColumns> kSearchColumnNames = {
    "Title", "Artist", "Album", "FileName", "Type", "Rating", "Index"};
// The widths fit the window's 520 pixels: "Rating" and "Index" 50 each.
inline constexpr std::array<int32_t, kSearchColumns> kSearchColumnWidths = {110, 90, 80, 85,
                                                                            45,  50, 50};
inline constexpr int32_t kSearchFileNameColumn = 3;
inline constexpr int32_t kSearchIndexColumn = 6;

// The mode numbers the window knows: 0 ask for the text, 99 the given text (an artist), 98 top
// songs, 97 worst songs.
int32_t searchModeNumber(SearchMode mode);
// Modes 0 and 99 search for a phrase; 98 and 97 rank the songs.
bool isPhraseSearch(SearchMode mode);

// The seven cells of a row.
std::array<std::string, kSearchColumns> searchRowTexts(const maintenance::SearchRow& row);
// The record number in an "Index" cell, read as a decimal number; -1 when it is not one.
int32_t recordOfIndexText(std::string_view text);

// The input form asking for the text, filled with the last one.
MessageRequest searchPrompt(const std::string& last_text);
// "No matches found" with "Search again" and "Close Search window".
MessageRequest noMatchQuestion();
enum class NoMatchChoice { kSearchAgain, kClose };
NoMatchChoice noMatchChoice(int32_t button);

// What one search works on; everything outlives the session.
struct SearchParts {
  engine::SharedLock& lock;
  engine::LibraryAccess& library;
  const Settings& settings;
  MessageDialog& dialog;
  Env& env;
};

// The rows of one search, or why there are none.
struct SearchOutcome {
  bool aborted = false;       // the window closed (or the program stops) before the grant
  bool library_open = false;  // false: the list stays empty and nothing is said
  std::vector<maintenance::SearchRow> rows;
};

// Waits for the grant (asking only while no other thread waits for the lock, every 100 ms),
// opens the library for reading (a build waiting, 1..999, becomes 10; offline stays offline),
// finds the rows with
// StateUser[0]'s ratings, closes the library and releases the grant. Stops waiting once `abort`
// is set. Call on a worker thread: it waits.
SearchOutcome searchLibrary(const SearchParts& parts, SearchMode mode, const std::string& text,
                            const std::atomic<bool>& abort);

// Where the session's results go (called on the session's thread).
class SearchSink {
 public:
  virtual ~SearchSink() = default;
  // The text confirmed at the prompt: the shared search text from now on.
  virtual void textConfirmed(const std::string& text) = 0;
  // The rows of the search (possibly none).
  virtual void showRows(std::vector<maintenance::SearchRow> rows) = 0;
  // The prompt was cancelled or "Close Search window" chosen.
  virtual void closeWindow() = 0;
};

// The search window's worker: prompt (mode 0), search, and after a phrase search that found
// nothing in an open library the question; "Search again" prompts again with the text.
void runSearchSession(const SearchParts& parts, SearchMode mode, std::string text,
                      const std::atomic<bool>& abort, SearchSink& sink);

}  // namespace tunora::ui

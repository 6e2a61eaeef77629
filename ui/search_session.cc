// The search window's work.
#include "ui/search_session.h"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "engine/lock_codes.h"
#include "engine/song_draw.h"
#include "library/song_columns.h"
#include "media/settings_adaptor.h"

namespace tunora::ui {

namespace {

constexpr int32_t kPatience = 10;
constexpr std::chrono::milliseconds kTick{100};

bool stopping(const SearchParts& parts, const std::atomic<bool>& abort) {
  return abort.load() || parts.lock.words().stopping.load() != 0;
}

maintenance::RowOptions rowOptionsOf(const Settings& settings) {
  maintenance::RowOptions options;
  options.user = std::clamp(settings.get(settings::kStateUser, 0), 0, kUserCount - 1);
  options.thresholds = engine::ratingThresholdsOf(settings);
  options.switches = media::mediaSwitchesOf(settings);
  return options;
}

}  // namespace

int32_t searchModeNumber(SearchMode mode) {
  switch (mode) {
    case SearchMode::kPrompt:
      return 0;
    case SearchMode::kArtist:
      return 99;
    case SearchMode::kTopSongs:
      return 98;
    case SearchMode::kWorstSongs:
      return 97;
  }
  return 0;
}

bool isPhraseSearch(SearchMode mode) {
  return mode == SearchMode::kPrompt || mode == SearchMode::kArtist;
}

std::array<std::string, kSearchColumns> searchRowTexts(const maintenance::SearchRow& row) {
  return {row.title,
          row.artist,
          row.album,
          row.path,
          row.type,
          std::to_string(row.rating),
          std::to_string(row.index)};
}

int32_t recordOfIndexText(std::string_view text) {
  int32_t record = -1;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, record);
  if (text.empty() || ec != std::errc() || ptr != end || record < 0) return -1;
  return record;
}

MessageRequest searchPrompt(const std::string& last_text) {
  MessageRequest request;
  request.kind = MessageKind::kInput;
  request.message = maintenance::kSearchPrompt;
  request.first_button = kSearchButton;
  request.second_button = kCancelButton;
  request.text = last_text.substr(0, kSearchTextLimit);
  return request;
}

MessageRequest noMatchQuestion() {
  MessageRequest request;
  request.message = maintenance::kNoMatchesText;
  request.first_button = kSearchAgainButton;
  request.second_button = kCloseSearchButton;
  return request;
}

NoMatchChoice noMatchChoice(int32_t button) {
  return button == kFirstButton ? NoMatchChoice::kSearchAgain : NoMatchChoice::kClose;
}

SearchOutcome searchLibrary(const SearchParts& parts, SearchMode mode, const std::string& text,
                            const std::atomic<bool>& abort) {
  SearchOutcome outcome;
  engine::SharedWords& words = parts.lock.words();
  engine::Grant grant;
  for (;;) {
    if (stopping(parts, abort)) {
      outcome.aborted = true;
      return outcome;
    }
    // A search yields to the threads that wait for the lock (builder, player, executor).
    if (words.waiter_count.load() == 0) {
      grant = parts.lock.requestAndWait(engine::kCodeSearchWindow, 0, kPatience);
      if (grant) break;
    }
    parts.env.sleepFor(kTick);
  }
  parts.library.openLibraryForReading();
  marlbase::TableHandle& table = parts.library.table();
  if (!table.isOpen()) return outcome;
  outcome.library_open = true;
  engine::hurryWaitingBuild(words.build_request);
  const maintenance::RowOptions options = rowOptionsOf(parts.settings);
  switch (mode) {
    case SearchMode::kPrompt:
    case SearchMode::kArtist:
      outcome.rows = maintenance::phraseSearch(table, text, options);
      break;
    case SearchMode::kTopSongs:
      outcome.rows = maintenance::rankSongs(table, maintenance::Ranking::kTop, options);
      break;
    case SearchMode::kWorstSongs:
      outcome.rows = maintenance::rankSongs(table, maintenance::Ranking::kWorst, options);
      break;
  }
  table.close();
  return outcome;
}

void runSearchSession(const SearchParts& parts, SearchMode mode, std::string text,
                      const std::atomic<bool>& abort, SearchSink& sink) {
  bool ask = mode == SearchMode::kPrompt;
  for (;;) {
    if (stopping(parts, abort)) return;
    if (ask) {
      const MessageResult answer = parts.dialog.show(searchPrompt(text));
      if (stopping(parts, abort)) return;
      if (answer.button != kFirstButton) {
        sink.closeWindow();
        return;
      }
      text = answer.text.substr(0, kSearchTextLimit);
      sink.textConfirmed(text);
    }
    SearchOutcome outcome = searchLibrary(parts, mode, text, abort);
    if (outcome.aborted) return;
    const bool nothing_found = outcome.library_open && outcome.rows.empty();
    sink.showRows(std::move(outcome.rows));
    if (!isPhraseSearch(mode) || !nothing_found) return;
    if (noMatchChoice(parts.dialog.show(noMatchQuestion()).button) == NoMatchChoice::kClose) {
      sink.closeWindow();
      return;
    }
    if (stopping(parts, abort)) return;
    ask = true;
  }
}

}  // namespace tunora::ui

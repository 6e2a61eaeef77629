// The quick-link search.
#include "ui/quick_link_search.h"

#include <string>

#include "library/song_columns.h"
#include "media/media_type.h"

namespace tunora::ui {

namespace {

constexpr int32_t kLiveStatus = 10;
constexpr uint32_t kFirstVideoType = 11;  // type codes above 10 are video files
constexpr int32_t kReportAfter = 3;       // more entries than this since the last report

bool isVideo(marlbase::TableHandle& table, int32_t slot) {
  // Every type counts here, whatever the switches say: the mark tells what the file is.
  media::MediaSwitches all;
  all.play_all = true;
  const std::optional<std::string> path = table.readText(slot, kColFileName);
  return path && media::classifyMediaFile(*path, all) >= kFirstVideoType;
}

std::string entryText(marlbase::TableHandle& table, int32_t slot, int32_t rating,
                      const QuickLinkOptions& options) {
  std::string text = table.readText(slot, kColTitle).value_or("");
  if (options.show_rate) text += " - " + std::to_string(rating);
  if (options.mark_video && isVideo(table, slot)) text += " (V)";
  return text;
}

}  // namespace

QuickLinkSearch searchRelated(marlbase::TableHandle& table, int32_t column, std::string_view key,
                              const QuickLinkOptions& options,
                              const std::atomic<int32_t>& request_word,
                              const QuickLinkProgress& progress) {
  QuickLinkSearch found;
  if (key.empty() || !table.isOpen()) return found;
  const int32_t user = options.user >= 0 && options.user < kUserCount ? options.user : 0;
  table.setSearchKey(key);
  std::vector<QuickLinkEntry>& entries = found.entries;
  const auto full = [&] { return entries.size() >= static_cast<size_t>(kQuickLinkMaxEntries); };
  // Every walk is in slot order. The live matches seen so far are remembered with their
  // ratings, so a later walk reads the table only where an earlier one stopped (in practice the
  // first walk either fills the list or sees every match).
  struct Match {
    int32_t slot;
    int32_t rating;
  };
  std::vector<Match> seen;
  int32_t unseen = table.findInColumnFrom(0, column);  // the first match not in `seen`
  size_t reported = 0;
  for (int32_t k = 10; k >= 0; --k) {
    for (size_t i = 0;;) {
      if (request_word.load() != 0) {
        found.yielded = true;
        break;
      }
      Match match{};
      if (i < seen.size()) {
        match = seen[i++];
      } else if (unseen < 0) {
        break;
      } else {
        const int32_t slot = unseen;
        unseen = table.findInColumnFrom(slot + 1, column);
        if (slot == options.playing_slot || table.getStatus(slot) != kLiveStatus) continue;
        const uint32_t score = table.readInt(slot, ratingColumn(user)).value_or(0);
        match = Match{slot, ratingOfScore(score, options.thresholds)};
        seen.push_back(match);
        i = seen.size();
      }
      if (match.rating != k) continue;
      entries.push_back({entryText(table, match.slot, k, options), match.slot});
      if (full()) break;
    }
    if (found.yielded || full()) break;
    if (entries.size() > reported + kReportAfter) {
      reported = entries.size();
      if (progress) progress(entries);
    }
  }
  return found;
}

}  // namespace tunora::ui

// Phrase search and the top and worst songs.
#include "maintenance/song_search.h"

#include <algorithm>

#include "library/song_columns.h"
#include "maintenance/live_lookahead.h"
#include "maintenance/phrase_match.h"

namespace tunora::maintenance {

using marlbase::TableHandle;

namespace {

// A field's text up to its NUL, copied straight from the record (a search can make many rows:
// the whole width of a path field is not copied through the value buffer for each).
std::string textOf(const TableHandle& table, int32_t slot, int32_t column) {
  const std::string_view raw = table.peekField(slot, column);
  if (raw.empty()) return {};
  return std::string(raw.substr(0, std::min(raw.find('\0'), raw.size() - 1)));
}

}  // namespace

SearchRow rowOf(TableHandle& table, int32_t slot, int32_t rating,
                const media::MediaSwitches& switches) {
  SearchRow row;
  row.title = textOf(table, slot, kColTitle);
  row.artist = textOf(table, slot, kColArtist);
  row.album = textOf(table, slot, kColAlbum);
  row.path = textOf(table, slot, kColFileName);
  row.type = std::string(media::mediaClassText(media::classifyMediaFile(row.path, switches)));
  row.rating = rating;
  row.index = slot;
  return row;
}

std::vector<int32_t> phraseMatches(TableHandle& table, std::string_view phrase) {
  std::vector<int32_t> slots;
  table.setSearchKey(phrase);           // shared with the details dialog's "Find More"
  if (phrase.empty()) return slots;     // an empty text searches nothing
  const TableHandle::Pass pass(table);  // one operation: the file's size is not checked per record
  const PhraseMatcher matcher(table, phrase);
  for (int32_t slot = matcher.next(table, -1); slot >= 0; slot = matcher.next(table, slot)) {
    slots.push_back(slot);
  }
  return slots;
}

std::vector<SearchRow> phraseSearch(TableHandle& table, std::string_view phrase,
                                    const RowOptions& options) {
  const TableHandle::Pass pass(table);
  std::vector<SearchRow> rows;
  const int32_t column = ratingColumn(options.user);
  for (int32_t slot : phraseMatches(table, phrase)) {
    const int32_t rating =
        ratingOfScore(table.readInt(slot, column).value_or(0), options.thresholds);
    rows.push_back(rowOf(table, slot, rating, options.switches));
  }
  return rows;
}

std::vector<SearchRow> rankSongs(TableHandle& table, Ranking ranking, const RowOptions& options) {
  struct Ranked {
    int32_t level;  // the rating, or 10 - rating for the worst songs, so higher comes first
    uint32_t plays;
    int32_t slot;
  };
  const TableHandle::Pass pass(table);
  std::vector<Ranked> ranked;
  const int32_t column = ratingColumn(options.user);
  const int32_t first = table.firstWithStatus(10, 1);  // slot 0 holds the blank record
  // The two fields this scan reads, asked for a few live records ahead.
  LiveLookahead ahead(table, first, [&table, column](int32_t live) {
    const std::string_view plays = table.peekField(live, kColPlayCount);
    const std::string_view score = table.peekField(live, column);
    if (!plays.empty()) __builtin_prefetch(plays.data());
    if (!score.empty()) __builtin_prefetch(score.data());
  });
  for (int32_t slot = first; slot >= 0;) {
    ahead.step();
    const uint32_t plays = table.readInt(slot, kColPlayCount).value_or(0);
    if (plays > 0) {
      const int32_t rating =
          ratingOfScore(table.readInt(slot, column).value_or(0), options.thresholds);
      ranked.push_back({ranking == Ranking::kTop ? rating : 10 - rating, plays, slot});
    }
    const int32_t next = table.nextLive(slot);
    if (next == slot) break;
    slot = next;
  }
  const auto before = [](const Ranked& a, const Ranked& b) {
    if (a.level != b.level) return a.level > b.level;
    if (a.plays != b.plays) return a.plays > b.plays;
    return a.slot < b.slot;
  };
  const size_t n = std::min<size_t>(ranked.size(), kRankingRows);
  std::partial_sort(ranked.begin(), ranked.begin() + static_cast<long>(n), ranked.end(), before);
  std::vector<SearchRow> rows;
  for (size_t i = 0; i < n; ++i) {
    const int32_t rating = ranking == Ranking::kTop ? ranked[i].level : 10 - ranked[i].level;
    rows.push_back(rowOf(table, ranked[i].slot, rating, options.switches));
  }
  return rows;
}

}  // namespace tunora::maintenance

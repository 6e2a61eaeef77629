// The search window's rows: the songs whose texts contain a phrase, and the top and worst songs
// by rating and play count. Run on an open song table (read-only will do).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/rating.h"
#include "marlbase/table_handle.h"
#include "media/media_type.h"

namespace tunora::maintenance {

inline constexpr char kSearchPrompt[] =
    "Enter word or phrase to search for in a song. (Must be at least two characters.)";
inline constexpr char kNoMatchesText[] = "No matches found";
inline constexpr int32_t kRankingRows = 100;

// One row of the search window: the play list's five columns, "Rating" and "Index".
struct SearchRow {
  std::string title;
  std::string artist;
  std::string album;
  std::string path;
  std::string type;    // "Audio" or "Video"
  int32_t rating = 0;  // the rating number 0..10 of the ranking's user
  int32_t index = 0;   // the record number
};

// How rows are made: the user whose rating is shown (0..9) and the rating thresholds.
struct RowOptions {
  int32_t user = 0;
  RatingThresholds thresholds{1, 2, 4, 8, 16, 32, 64, 128, 256, 512};
  media::MediaSwitches switches;
};

SearchRow rowOf(marlbase::TableHandle& table, int32_t slot, int32_t rating,
                const media::MediaSwitches& switches);

// Every live record above the blank one in slot 0 that contains `phrase` (the table's findNext
// match: any text column containing it ignoring letter case, or a number column equal to it).
// An empty phrase searches nothing. Sets the table's search key.
std::vector<int32_t> phraseMatches(marlbase::TableHandle& table, std::string_view phrase);
std::vector<SearchRow> phraseSearch(marlbase::TableHandle& table, std::string_view phrase,
                                    const RowOptions& options);

// Top songs: rating 10 down to 0; worst songs: 0 up to 10. Within a rating, the higher play count
// first, equal counts in record order; songs never played, and the blank record in slot 0, are
// left out; at most 100 rows. One
// pass over the library and a partial sort.
enum class Ranking { kTop, kWorst };
std::vector<SearchRow> rankSongs(marlbase::TableHandle& table, Ranking ranking,
                                 const RowOptions& options);

}  // namespace tunora::maintenance

// The Song details dialog's record logic without the window: browsing with "<" and ">", "Goto",
// "Find" and "Find More", loading and saving the fields, and "Delete". Each call works on the
// open song table the dialog holds under its database grant.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "library/rating.h"
#include "marlbase/table_handle.h"

namespace tunora::maintenance {

inline constexpr char kGotoPrompt[] = "Enter the index number of the song to view.";
inline constexpr char kDeleteQuestion[] = "This will delete the song and it cannot be undone.";
inline constexpr char kDeleteYes[] = "Sure, delete please";
inline constexpr char kDeleteNo[] = "No, don't delete";
inline constexpr char kCloseDetailsButton[] = "Close Song Details window";
inline constexpr char kOfflineText[] = "Database is currently Offline.";

// The dialog's work state, readable by the main window (which allows "Details" only at 0).
enum class DetailsState : int32_t {
  kClosed = 0,
  kIdle = 3,
  kLoad = 4,
  kPrevious = 5,
  kNext = 6,
  kSaveAndClose = 7,
  kReloadTags = 8,
  kFindMore = 9,
  kFind = 10,
  kSave = 11,
};

// What the dialog shows and edits for one record.
struct SongFields {
  std::string file_name;
  std::string title;
  std::string artist;
  std::string album;
  std::string note;        // "Comment"
  uint64_t file_size = 0;  // of the file on disk; 0 when it cannot be read
  uint32_t play_count = 0;
  uint32_t file_id = 0;
  int32_t naughty = 0;  // O-Scale 0..3
  bool lock = false;    // "Lock Name"
  bool start_set = false;
  uint32_t start = 0;
  bool end_set = false;
  uint32_t end = 0;
  std::array<int32_t, 10> ratings{};  // rating numbers of users 0..9 (a field may hold any number)
};

// "<": the live record before r, wrapping to the last live record.
int32_t previousRecord(marlbase::TableHandle& table, int32_t r);
// ">": the live record after r, wrapping to the first live record.
int32_t nextRecord(marlbase::TableHandle& table, int32_t r);

// "Goto": the new DB Idx (record number + 1) for the typed text: the smaller of the number and
// the live count; nullopt (nothing happens) for 0, a negative number or text that is no number.
std::optional<int32_t> gotoIndex(std::string_view text, int32_t live_count);

// "Find" (from = -1, the whole library) and "Find More" (from = the shown record): the next live
// record after `from` (never the blank record in slot 0) that contains `phrase`; nullopt when
// none ("No matches found"), and always for an empty phrase.
std::optional<int32_t> findRecord(marlbase::TableHandle& table, std::string_view phrase,
                                  int32_t from);

// Reads record r into the fields (rating numbers under `thresholds`).
SongFields loadFields(marlbase::TableHandle& table, int32_t r, const RatingThresholds& thresholds);

// "Save"/"Close": writes the fields into record r (open for writing): the texts, the naughty
// level and lock (other flag bits kept), the start and end points (0 when not set) and for each
// user the threshold of the rating number in the field (0 for any number outside 1..10). With a
// fixed user nothing is written and false is returned; false too when a write fails.
bool saveFields(marlbase::TableHandle& table, int32_t r, const SongFields& fields,
                const RatingThresholds& thresholds, bool fixed_user);

// What "Delete" did to the library.
struct DeleteOutcome {
  bool deleted = false;       // the record is marked deleted
  std::string path;           // its file, for moveIntoDataDir once the library is released
  bool close_dialog = false;  // no song left to show: the dialog closes as "Cancel"
  int32_t show = -1;          // otherwise the record to show next
};

// "Delete" on record r (open for writing): marks it deleted and picks the record to show next.
DeleteOutcome deleteSong(marlbase::TableHandle& table, int32_t r);

// Moves a deleted song's file into `data_dir` (ending in "/") under its own name: its new path,
// or nullopt when the file stays where it was (no file, the move failed, or a file of that name
// is in the data directory already, which is never replaced).
std::optional<std::string> moveIntoDataDir(const std::string& path, const std::string& data_dir);

}  // namespace tunora::maintenance

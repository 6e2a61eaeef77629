// The Database dialog's eleven maintenance functions, run on an open, writable song table. The
// caller (the dialog's function thread or tunora-cli) gathers the inputs, checks them with
// refusalOf, asks the confirmation built by confirmationText, then runs the function.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/rating.h"
#include "marlbase/table_handle.h"
#include "media/song_fill.h"
#include "util/atomic_file.h"

namespace tunora::maintenance {

// The functions by their number in the dialog's list.
enum class DbFunction : int32_t {
  kSavePlaylist = 0,
  kRemoveDuplicates = 1,
  kCopyRatings = 2,
  kUpScore = 3,
  kRemoveMissing = 4,
  kReloadTags = 5,
  kReDefault = 6,
  kUndeleteAll = 7,
  kResetStartPoints = 8,
  kSortByName = 9,
  kSortByArtist = 10,
};
inline constexpr int32_t kDbFunctionCount = 11;

// The function's name in the list ("Save DB as Playlist", ...); "" for a number out of range.
std::string_view dbFunctionName(DbFunction function);

// The second confirmation's buttons.
inline constexpr char kRunButton[] = "Yes, please run function";
inline constexpr char kAbortButton[] = "No, abort function";
// The "Start From" input of "ReDefault Songs" (initial text "0", buttons "OK" and "Cancel").
inline constexpr char kStartFromPrompt[] = "Start From";

// What the user chose before the confirmation.
struct DbInputs {
  std::string playlist_path;  // "Save DB as Playlist": the chosen file; empty = cancelled
  int32_t user_a = 0;         // users 1..10 as on the keypad; 0 = cancelled, "0" or "D"
  int32_t user_b = 0;
  // "ReDefault Songs": the "Start From" text; nullopt = cancelled.
  std::optional<std::string> start_text;
};

// The settings the functions read.
struct DbValues {
  uint32_t target_value = 1000;   // "UpScore Songs" gives 2 x this
  uint32_t default_import = 16;   // "ReDefault Songs" gives every user this score
  media::TagOptions tag_options;  // "Reload Song Data"
  // "Save DB as Playlist": how the file is replaced (tests cut the writes and stop in between).
  ReplaceOptions TEST_playlist_save;
};

// Why the inputs are refused, before any question is asked; nullopt when they are acceptable.
std::optional<std::string> refusalOf(DbFunction function, const DbInputs& inputs);

// The text of both confirmations, e.g. "Copy Ratings from 3 to 5".
std::string confirmationText(DbFunction function, const DbInputs& inputs);

// The dialog's two status lines, written from the function's thread.
class DbProgress {
 public:
  virtual ~DbProgress() = default;
  virtual void setLine1(const std::string& text) = 0;
  virtual void setLine2(const std::string& text) = 0;
};

// What a run did.
struct DbResult {
  bool ok = true;  // false: the function could not do its work (`error` says why)
  std::string error;
  bool aborted = false;  // stopped early by the abort flag
  int64_t walked = 0;    // live records visited (for undelete-all: deleted records found)
  int64_t changed = 0;   // records changed (deleted, revived, rewritten, written to the playlist)
  int64_t skipped = 0;   // reload: locked songs; remove-missing: not used
  int64_t failed = 0;    // reload: files that could not be read
  std::string note;      // a remark such as where ReDefault started
};

// One line of counts for tunora-cli and the dialog's second status line.
std::string resultLine(DbFunction function, const DbResult& result);

// Runs the function on `table` (open for writing). `abort` is polled between records and may
// be null; `progress` may be null. The inputs must have passed refusalOf.
DbResult runDbFunction(DbFunction function, marlbase::TableHandle& table, const DbInputs& inputs,
                       const DbValues& values, const std::atomic<bool>* abort,
                       DbProgress* progress);

// The "ReDefault Songs" start: the n-th live record for a number n of 1 or more, limited to
// `live_count`; nullopt for a cancelled, empty, 0 or non-numeric input (start at the first).
std::optional<int32_t> reDefaultStart(const std::optional<std::string>& start_text,
                                      int32_t live_count);

// The slots whose records "Remove duplicates" deletes, ascending: every live record whose exact
// path (case-sensitive) a lower live slot holds. One pass over the paths.
std::vector<int32_t> duplicateSlots(marlbase::TableHandle& table);

}  // namespace tunora::maintenance

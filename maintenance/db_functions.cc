// The maintenance functions of the Database dialog.
#include "maintenance/db_functions.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "library/song_columns.h"
#include "library/song_deletion.h"
#include "maintenance/song_details.h"
#include "media/playlist_file.h"

namespace tunora::maintenance {
namespace {

using marlbase::TableHandle;

constexpr int32_t kStatusLive = 10;

constexpr std::array<std::string_view, kDbFunctionCount> kNames = {
    "Save DB as Playlist",  "Remove duplicates", "Copy Ratings",    "UpScore Songs",
    "Remove Missing files", "Reload Song Data",  "ReDefault Songs", "Undelete All",
    "Reset Start Points",   "Sort by Name",      "Sort by Artist"};

bool validUser(int32_t user) { return user >= 1 && user <= kUserCount; }

bool aborted(const std::atomic<bool>* abort) {
  return abort != nullptr && abort->load(std::memory_order_relaxed);
}

// The stored text of a field up to its NUL, pointing into the mapping.
std::string_view fieldText(const TableHandle& table, int32_t slot, int32_t column) {
  std::string_view raw = table.peekField(slot, column);
  const size_t end = raw.find('\0');
  return end == std::string_view::npos ? raw : raw.substr(0, end);
}

// Calls visit(slot) for each live record in slot order until it returns false or the abort
// flag is set. Returns false when aborted.
template <typename Visit>
bool walkLive(TableHandle& table, int32_t first, const std::atomic<bool>* abort, Visit visit) {
  if (first < 0) return true;
  for (int32_t slot = first;;) {
    if (aborted(abort)) return false;
    visit(slot);
    const int32_t next = table.nextLive(slot);
    if (next == slot || next < 0) return true;
    slot = next;
  }
}

int32_t firstLive(TableHandle& table) { return table.firstWithStatus(kStatusLive, 0); }

void line1(DbProgress* progress, const std::string& text) {
  if (progress) progress->setLine1(text);
}
void line2(DbProgress* progress, const std::string& text) {
  if (progress) progress->setLine2(text);
}

// The file is written whole under a temporary name and then takes the chosen name, so a kill or a
// full disk leaves the old file as it was. Stopped early, it holds the paths gathered so far.
DbResult savePlaylist(TableHandle& table, const std::string& path, const DbValues& values,
                      const std::atomic<bool>* abort) {
  DbResult result;
  std::vector<std::string> paths;
  result.aborted = !walkLive(table, firstLive(table), abort, [&](int32_t slot) {
    ++result.walked;
    paths.emplace_back(fieldText(table, slot, kColFileName));
  });
  if (Status s = media::writePlayList(path, paths, values.TEST_playlist_save); !s.ok()) {
    result.ok = false;
    result.error = "cannot write the playlist \"" + path + "\": " + s.message();
    return result;
  }
  result.changed = result.walked;
  return result;
}

DbResult removeDuplicates(TableHandle& table, const std::atomic<bool>* abort,
                          DbProgress* progress) {
  DbResult result;
  result.walked = table.liveCount();
  for (int32_t slot : duplicateSlots(table)) {
    if (aborted(abort)) {
      result.aborted = true;
      break;
    }
    if (deleteSongRecord(table, slot)) ++result.changed;
    if (result.changed % 1000 == 1)
      line1(progress, std::string(fieldText(table, slot, kColFileName)));
  }
  return result;
}

// Writes value into column for each live record; counts the records whose value changed.
DbResult setEveryLive(TableHandle& table, int32_t first, const std::atomic<bool>* abort,
                      const std::vector<int32_t>& columns, auto value_of) {
  DbResult result;
  result.aborted = !walkLive(table, first, abort, [&](int32_t slot) {
    ++result.walked;
    bool changed = false;
    for (int32_t column : columns) {
      const uint32_t value = value_of(slot);
      if (table.readInt(slot, column) != value) {
        changed = true;
        if (!table.writeInt(slot, column, value)) result.ok = false;
      }
    }
    if (changed) ++result.changed;
  });
  if (!result.ok) result.error = "a field could not be written";
  return result;
}

DbResult removeMissing(TableHandle& table, const std::atomic<bool>* abort, DbProgress* progress) {
  DbResult result;
  // Collected first: deleting while walking would move nextLive's start.
  std::vector<int32_t> missing;
  result.aborted = !walkLive(table, firstLive(table), abort, [&](int32_t slot) {
    ++result.walked;
    // Slot 0 holds the blank record every song table starts with: it names no file and is never
    // removed (the import needs it, and it is no song).
    if (slot == 0) return;
    const std::string path(fieldText(table, slot, kColFileName));
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
      line2(progress, path);
      missing.push_back(slot);
    }
  });
  for (int32_t slot : missing) {
    if (deleteSongRecord(table, slot)) ++result.changed;
  }
  return result;
}

DbResult reloadTags(TableHandle& table, const DbValues& values, const std::atomic<bool>* abort,
                    DbProgress* progress) {
  DbResult result;
  result.aborted = !walkLive(table, firstLive(table), abort, [&](int32_t slot) {
    ++result.walked;
    if ((table.readInt(slot, kColFlags).value_or(0) & kFlagLock) != 0) {
      ++result.skipped;
      return;
    }
    const std::string path(fieldText(table, slot, kColFileName).substr(0, 600));
    if (media::fillSongFromFile(path, table, slot, false, values.tag_options)) {
      ++result.changed;
    } else {
      ++result.failed;
    }
    line1(progress, path);
  });
  return result;
}

// Revives the songs that were deleted, never the copies a compaction left in free slots
// (library/song_deletion.h).
DbResult undeleteAll(TableHandle& table, const std::atomic<bool>* abort) {
  DbResult result;
  ReviveCounts counts;
  result.aborted = !reviveDeletedSongs(table, abort, counts);
  result.walked = counts.deleted_seen;
  result.changed = counts.revived;
  return result;
}

DbResult sortBy(TableHandle& table, int32_t column) {
  DbResult result;
  result.walked = table.liveCount();
  if (table.sortByColumn(column) != 1) {
    result.ok = false;
    result.error =
        result.walked == 0 ? "the library holds no song" : "the library could not be sorted";
    return result;
  }
  result.changed = table.liveCount();
  return result;
}

// "1 song" / "2 songs".
std::string counted(int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string countsOf(const DbResult& r, const char* changed_one, const char* changed_many) {
  return counted(r.walked, "song", "songs") + ", " + counted(r.changed, changed_one, changed_many);
}

}  // namespace

std::string_view dbFunctionName(DbFunction function) {
  const auto n = static_cast<int32_t>(function);
  return n >= 0 && n < kDbFunctionCount ? kNames[static_cast<size_t>(n)] : std::string_view();
}

std::optional<std::string> refusalOf(DbFunction function, const DbInputs& inputs) {
  switch (function) {
    case DbFunction::kSavePlaylist:
      if (inputs.playlist_path.empty()) return "no playlist file chosen";
      break;
    case DbFunction::kCopyRatings:
      if (!validUser(inputs.user_a) || !validUser(inputs.user_b)) return "users are 1 to 10";
      if (inputs.user_a == inputs.user_b) return "copying a user's ratings onto the same user";
      break;
    case DbFunction::kUpScore:
      if (!validUser(inputs.user_a)) return "users are 1 to 10";
      break;
    default:
      if (dbFunctionName(function).empty()) return "no such function";
      break;
  }
  return std::nullopt;
}

std::string confirmationText(DbFunction function, const DbInputs& inputs) {
  std::string text(dbFunctionName(function));
  switch (function) {
    case DbFunction::kSavePlaylist:
      return text + " " + inputs.playlist_path;
    case DbFunction::kCopyRatings:
      return text + " from " + std::to_string(inputs.user_a) + " to " +
             std::to_string(inputs.user_b);
    case DbFunction::kUpScore:
      return text + " for  - " + std::to_string(inputs.user_a);
    default:
      return text;
  }
}

std::optional<int32_t> reDefaultStart(const std::optional<std::string>& start_text,
                                      int32_t live_count) {
  // The same reading as the details dialog's "Goto".
  if (!start_text) return std::nullopt;
  return gotoIndex(*start_text, live_count);
}

// One pass in slot order over the paths, each looked up in a hash table of the paths met so far
// (open addressing on a 64-bit hash; equal hashes compare the texts), so each path is read once
// and in file order.
std::vector<int32_t> duplicateSlots(TableHandle& table) {
  struct Entry {
    uint64_t hash = 0;
    int32_t slot = -1;  // -1: empty
  };
  size_t size = 16;
  while (size < static_cast<size_t>(std::max(0, table.liveCount())) * 2) size *= 2;
  std::vector<Entry> entries(size);
  const size_t mask = size - 1;
  std::vector<int32_t> slots;
  walkLive(table, firstLive(table), nullptr, [&](int32_t slot) {
    const std::string_view path = fieldText(table, slot, kColFileName);
    uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a, then mixed for the table's positions
    for (char c : path) h = (h ^ static_cast<uint8_t>(c)) * 0x100000001b3ULL;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 32;
    for (size_t at = h & mask;; at = (at + 1) & mask) {
      Entry& e = entries[at];
      if (e.slot < 0) {
        e = {h, slot};
        return;
      }
      if (e.hash == h && fieldText(table, e.slot, kColFileName) == path) {
        slots.push_back(slot);
        return;
      }
    }
  });
  return slots;
}

DbResult runDbFunction(DbFunction function, TableHandle& table, const DbInputs& inputs,
                       const DbValues& values, const std::atomic<bool>* abort,
                       DbProgress* progress) {
  if (auto refusal = refusalOf(function, inputs)) {
    DbResult refused;
    refused.ok = false;
    refused.error = *refusal;
    return refused;
  }
  if (!table.isMapped() || !table.writable()) {
    DbResult closed;
    closed.ok = false;
    closed.error = "the library is not open for writing";
    return closed;
  }
  line1(progress, confirmationText(function, inputs));
  const TableHandle::Pass pass(table);  // one operation: the file's size is not checked per record
  const int32_t first = firstLive(table);
  switch (function) {
    case DbFunction::kSavePlaylist:
      return savePlaylist(table, inputs.playlist_path, values, abort);
    case DbFunction::kRemoveDuplicates:
      return removeDuplicates(table, abort, progress);
    case DbFunction::kCopyRatings: {
      const int32_t from = ratingColumn(inputs.user_a - 1);
      return setEveryLive(table, first, abort, {ratingColumn(inputs.user_b - 1)},
                          [&](int32_t slot) { return table.readInt(slot, from).value_or(0); });
    }
    case DbFunction::kUpScore:
      return setEveryLive(table, first, abort, {ratingColumn(inputs.user_a - 1)},
                          [&](int32_t) { return 2 * values.target_value; });
    case DbFunction::kRemoveMissing:
      return removeMissing(table, abort, progress);
    case DbFunction::kReloadTags:
      return reloadTags(table, values, abort, progress);
    case DbFunction::kReDefault: {
      const auto n = reDefaultStart(inputs.start_text, table.liveCount());
      const int32_t start = n ? table.nthLive(*n) : first;
      std::vector<int32_t> columns;
      for (int32_t u = 0; u < kUserCount; ++u) columns.push_back(ratingColumn(u));
      DbResult result = setEveryLive(table, start, abort, columns,
                                     [&](int32_t) { return values.default_import; });
      result.note =
          n ? "from song " + std::to_string(*n) : "no start given: started at the first song";
      return result;
    }
    case DbFunction::kUndeleteAll:
      return undeleteAll(table, abort);
    case DbFunction::kResetStartPoints:
      return setEveryLive(table, first, abort, {kColStartFrame}, [](int32_t) { return 0u; });
    case DbFunction::kSortByName:
      return sortBy(table, kColTitle);
    case DbFunction::kSortByArtist:
      return sortBy(table, kColArtist);
  }
  return {};
}

std::string resultLine(DbFunction function, const DbResult& r) {
  std::string line;
  switch (function) {
    case DbFunction::kSavePlaylist:
      line = counted(r.changed, "path written", "paths written");
      break;
    case DbFunction::kRemoveDuplicates:
      line = countsOf(r, "duplicate removed", "duplicates removed");
      break;
    case DbFunction::kCopyRatings:
    case DbFunction::kUpScore:
    case DbFunction::kReDefault:
      line = countsOf(r, "changed", "changed");
      break;
    case DbFunction::kRemoveMissing:
      line = countsOf(r, "missing removed", "missing removed");
      break;
    case DbFunction::kReloadTags:
      line = countsOf(r, "reloaded", "reloaded") + ", " + std::to_string(r.skipped) + " locked, " +
             std::to_string(r.failed) + " unreadable";
      break;
    case DbFunction::kUndeleteAll:
      line = counted(r.changed, "song undeleted", "songs undeleted");
      break;
    case DbFunction::kResetStartPoints:
      line = countsOf(r, "start point reset", "start points reset");
      break;
    case DbFunction::kSortByName:
    case DbFunction::kSortByArtist:
      line = counted(r.changed, "song sorted", "songs sorted");
      break;
  }
  if (!r.note.empty()) line += " (" + r.note + ")";
  if (r.aborted) line += " (stopped)";
  return line;
}

}  // namespace tunora::maintenance

// Loading a playlist file into the play list ("load" mode of the list reader): each accepted
// line becomes a row of five texts, title, artist, album, path and "Audio" or "Video".
//
// With a library of more than 10 songs open, a path is looked up in the `FileName` column: a
// live record gives the row its title, artist and album (the record read for the state's user);
// a path whose record is deleted is skipped. A path the library does not know, or any path when
// the library holds 10 songs or fewer (or is closed), is read by the tag reader; a file that
// cannot be opened is skipped.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "marlbase/table_handle.h"
#include "media/media_type.h"
#include "util/status.h"

namespace tunora::media {

// A library with this many live records or fewer is not looked up.
inline constexpr int32_t kLookUpAboveSongs = 10;

using LoadedRow = std::array<std::string, 5>;
using LoadedRowFn = std::function<void(LoadedRow row)>;

struct ListLoadOptions {
  int32_t user = 0;                          // the state's user, for whom records are read
  MediaSwitches switches;                    // for the "Audio"/"Video" column
  const std::atomic<bool>* abort = nullptr;  // stops between lines once true
};

struct ListLoadResult {
  int32_t rows = 0;     // rows handed to on_row
  int32_t skipped = 0;  // accepted lines that gave no row (deleted, or unreadable file)
};

// The row of one path as a playlist line gives it; nullopt when such a line is skipped.
std::optional<LoadedRow> listRowOf(const std::string& path, marlbase::TableHandle* table,
                                   const ListLoadOptions& options);

// Reads the playlist at list_path and calls on_row for each row, in file order. table may be
// null or closed (then every path goes through the tag reader). An error when the list file
// cannot be opened; nothing is loaded then.
Status loadListFile(const std::string& list_path, marlbase::TableHandle* table,
                    const ListLoadOptions& options, const LoadedRowFn& on_row,
                    ListLoadResult* result = nullptr);

}  // namespace tunora::media

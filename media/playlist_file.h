// Playlist files (".m3u", ".txt"): one media file path per line. The program writes full paths,
// each followed by CR LF; it reads lists written by itself and by other players.
//
// Reading rules:
// - CR, LF and CR LF each end a line; a last line without a line end counts too.
// - A UTF-8 byte-order mark at the start of the file is skipped.
// - A line holding a NUL byte is skipped.
// - A line that starts with "#" is a comment (the extended-M3U lines); a "#" elsewhere is part
//   of the path.
// - A line of 2 characters or fewer is ignored. A line longer than 600 characters is skipped
//   whole. Nothing is trimmed.
// - "file://" lines (as some players write) become the local path they name, with their
//   %-escapes decoded. Other lines with a "scheme://" are passed on unchanged.
// - A relative path is resolved against the folder of the playlist file ("." and ".." steps
//   removed); the result must also fit in 600 characters.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "util/atomic_file.h"
#include "util/status.h"

namespace tunora::media {

inline constexpr size_t kListLineMax = 600;

using ListLineFn = std::function<void(const std::string& path)>;

// Splits playlist text into lines and calls on_line with each accepted path, in file order.
// list_folder is the folder of the playlist ("/" at its end), against which relative paths are
// resolved; empty to leave them relative. Feed the text in any number of pieces, then finish().
class ListReader {
 public:
  ListReader(std::string list_folder, ListLineFn on_line);
  void feed(std::string_view bytes);
  void finish();
  // Lines skipped because they (or the paths they resolve to) are longer than 600 characters.
  int64_t longLinesSkipped() const { return long_lines_; }

 private:
  void endLine();

  std::string list_folder_;
  ListLineFn on_line_;
  std::string line_;
  bool overflow_ = false;
  bool first_line_ = true;
  int64_t long_lines_ = 0;
};

// Reads the playlist at path, calling on_line for each accepted path. Stops early, between
// lines, once *abort is true. An error when the file cannot be opened or read, or is not a
// regular file (a FIFO or a device is refused without waiting on it). Adds the lines skipped for
// their length to *long_lines when given.
Status readListFile(const std::string& path, const ListLineFn& on_line,
                    const std::atomic<bool>* abort = nullptr, int64_t* long_lines = nullptr);

// Writes the paths, each followed by CR LF, to path, replacing any file there: the text goes to
// a temporary file beside it (util/atomic_file.h), which is then renamed over path, so a failed
// or killed save leaves the old list whole. An empty list gives an empty file. A path containing
// CR or LF cannot be written as one line and is left out. `options` for tests.
Status writePlayList(const std::string& path, const std::vector<std::string>& paths,
                     const ReplaceOptions& options = {});

// The play-list file of a listening state (index 0..9): data_dir + "PL" + (state + 1) + ".m3u".
std::string playListFileName(std::string_view data_dir, int32_t state);

}  // namespace tunora::media

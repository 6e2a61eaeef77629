// Where the program left off: the song that was playing (or paused) when the program ended, and
// how far into it, for the next start to begin it there. Kept in a small file of its own in the
// data directory, beside the settings file and apart from it ("Resume.txt"; the settings file's
// bytes stay as they are):
//
//   Tunora resume 1\n
//   state <listening state 0..9>\n
//   position <milliseconds into the song>\n
//   path <the song's full path, to the end of the line>\n
//
// The file is replaced through a temporary name and a rename, and removed when there is nothing
// to resume. A file that does not read as above resumes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "util/status.h"

namespace tunora::engine {

inline constexpr char kResumeFileName[] = "Resume.txt";

struct ResumePoint {
  int32_t state = 0;        // the listening state whose play list it belongs to
  int64_t position_ms = 0;  // above 0
  std::string path;         // not empty, no line break
  bool operator==(const ResumePoint&) const = default;
};

// The file's text; nullopt for a point that cannot be kept (empty path or one with a line break,
// position 0 or less, state outside 0..9).
std::optional<std::string> resumeFileText(const ResumePoint& point);
// The point a file's text holds; nullopt when it is not a valid resume file.
std::optional<ResumePoint> parseResumeFile(std::string_view text);

// Reads "Resume.txt" from data_dir (ending in "/"); nullopt when there is none or it is not valid.
std::optional<ResumePoint> readResumePoint(const std::string& data_dir);
// Replaces "Resume.txt" in data_dir with `point`, or removes it when `point` is nullopt or cannot
// be kept. An error status when the file could not be written or removed (an old file then stays).
Status writeResumePoint(const std::string& data_dir, const std::optional<ResumePoint>& point);

}  // namespace tunora::engine

// The Song details dialog's record logic.
#include "maintenance/song_details.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "library/song_columns.h"
#include "library/song_deletion.h"
#include "maintenance/phrase_match.h"
#include "util/atomic_file.h"

namespace tunora::maintenance {

using marlbase::TableHandle;

namespace {

constexpr int32_t kStatusLive = 10;

// Moves `from` to `to` without replacing a file there: a rename on the same file system, else a
// copy under a temporary name, synced and renamed into place, and only then the original's
// removal (a crash in between leaves both copies, never neither).
bool moveFileNoReplace(const std::string& from, const std::string& to) {
  if (renameKeepingExisting(from, to)) return true;
  if (errno != EXDEV) return false;
  std::FILE* in = std::fopen(from.c_str(), "rb");
  if (in == nullptr) return false;
  FileReplacement copy(to, ReplaceOptions{.keep_existing = true});
  uint8_t buffer[65536];
  size_t n;
  while (copy.status().ok() && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    (void)copy.write(std::span<const uint8_t>(buffer, n));
  }
  const bool read_ok = !std::ferror(in);
  std::fclose(in);
  if (!read_ok || !copy.status().ok() || !copy.commit().ok()) return false;
  if (std::remove(from.c_str()) != 0) {
    std::remove(to.c_str());
    return false;
  }
  return true;
}

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int32_t previousRecord(TableHandle& table, int32_t r) {
  const int32_t p = table.previousLive(r);
  if (p != r && p >= 0) return p;
  const int32_t last = table.lastLive();
  return last >= 0 ? last : r;
}

int32_t nextRecord(TableHandle& table, int32_t r) {
  const int32_t n = table.nextLive(r);
  if (n != r && n >= 0) return n;
  const int32_t first = table.firstWithStatus(kStatusLive, 0);
  return first >= 0 ? first : r;
}

std::optional<int32_t> gotoIndex(std::string_view text, int32_t live_count) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 9) return std::nullopt;
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n == 0 || live_count < 1) return std::nullopt;
  return static_cast<int32_t>(std::min<int64_t>(n, live_count));
}

std::optional<int32_t> findRecord(TableHandle& table, std::string_view phrase, int32_t from) {
  table.setSearchKey(phrase);
  if (phrase.empty()) return std::nullopt;  // an empty text searches nothing
  const TableHandle::Pass pass(table);  // one operation: the file's size is not checked per record
  const int32_t hit = PhraseMatcher(table, phrase).next(table, from);
  if (hit < 0) return std::nullopt;
  return hit;
}

SongFields loadFields(TableHandle& table, int32_t r, const RatingThresholds& thresholds) {
  SongFields f;
  f.file_name = table.readText(r, kColFileName).value_or("");
  struct stat st;
  if (!f.file_name.empty() && ::stat(f.file_name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    f.file_size = static_cast<uint64_t>(st.st_size);
  }
  f.title = table.readText(r, kColTitle).value_or("");
  f.artist = table.readText(r, kColArtist).value_or("");
  f.album = table.readText(r, kColAlbum).value_or("");
  f.note = table.readText(r, kColNote).value_or("");
  const uint32_t flags = table.readInt(r, kColFlags).value_or(0);
  f.naughty = static_cast<int32_t>(flags & kFlagNaughtyMask);
  f.lock = (flags & kFlagLock) != 0;
  f.start = table.readInt(r, kColStartFrame).value_or(0);
  f.start_set = f.start != 0;
  f.end = table.readInt(r, kColEndFrame).value_or(0);
  f.end_set = f.end != 0;
  f.play_count = table.readInt(r, kColPlayCount).value_or(0);
  f.file_id = table.readInt(r, kColFileId).value_or(0);
  for (int32_t u = 0; u < kUserCount; ++u) {
    f.ratings[static_cast<size_t>(u)] =
        ratingOfScore(table.readInt(r, ratingColumn(u)).value_or(0), thresholds);
  }
  return f;
}

bool saveFields(TableHandle& table, int32_t r, const SongFields& f,
                const RatingThresholds& thresholds, bool fixed_user) {
  if (fixed_user) return false;
  bool ok = table.writeText(r, kColFileName, std::string_view(f.file_name).substr(0, kSongPathMax));
  ok = table.writeText(r, kColTitle, std::string_view(f.title).substr(0, kSongTextMax)) && ok;
  ok = table.writeText(r, kColArtist, std::string_view(f.artist).substr(0, kSongTextMax)) && ok;
  ok = table.writeText(r, kColAlbum, std::string_view(f.album).substr(0, kSongTextMax)) && ok;
  ok = table.writeText(r, kColNote, std::string_view(f.note).substr(0, kSongTextMax)) && ok;
  uint32_t flags = table.readInt(r, kColFlags).value_or(0) & ~(kFlagNaughtyMask | kFlagLock);
  flags |= static_cast<uint32_t>(f.naughty) & kFlagNaughtyMask;
  if (f.lock) flags |= kFlagLock;
  ok = table.writeInt(r, kColFlags, flags) && ok;
  ok = table.writeInt(r, kColStartFrame, f.start_set ? f.start : 0) && ok;
  ok = table.writeInt(r, kColEndFrame, f.end_set ? f.end : 0) && ok;
  for (int32_t u = 0; u < kUserCount; ++u) {
    ok = table.writeInt(r, ratingColumn(u),
                        scoreOfRating(f.ratings[static_cast<size_t>(u)], thresholds)) &&
         ok;
  }
  return ok;
}

DeleteOutcome deleteSong(TableHandle& table, int32_t r) {
  DeleteOutcome out;
  out.path = table.readText(r, kColFileName).value_or("");
  out.deleted = deleteSongRecord(table, r);
  if (!out.deleted) return out;
  if (table.liveCount() <= 1) {
    out.close_dialog = true;
    return out;
  }
  const int32_t p = table.previousLive(r);
  out.show = (r == 1 || r == 2 || p == r || p < 0) ? table.nthLive(1) : p;
  return out;
}

std::optional<std::string> moveIntoDataDir(const std::string& path, const std::string& data_dir) {
  if (path.empty() || baseName(path).empty()) return std::nullopt;
  const std::string target = data_dir + baseName(path);
  if (target == path || !moveFileNoReplace(path, target)) return std::nullopt;
  return target;
}

}  // namespace tunora::maintenance

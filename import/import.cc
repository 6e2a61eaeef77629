// Import from folders and playlists: the thread body, the folder walk and adding one song.
#include "import/import.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "engine/lock_codes.h"
#include "library/file_checksum.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "media/media_type.h"
#include "media/path_helpers.h"
#include "media/playlist_file.h"
#include "media/settings_adaptor.h"
#include "util/text_codec.h"

namespace tunora::media {
namespace {

// The widest path a song record keeps; a longer one would name a file that does not exist.
constexpr size_t kMaxSongPath = 600;
// The longest path the system resolves (PATH_MAX); a longer one cannot even be examined.
constexpr size_t kMaxSystemPath = 4096;

bool hasControlCharacter(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void appendCount(std::string& out, int64_t n, const char* what) {
  if (n == 0) return;
  if (out.back() != '(') out += ", ";
  out += std::to_string(n) + " " + what;
}

}  // namespace

bool isListSource(const std::string& source) {
  if (source.size() < 3) return false;
  const std::string tail = asciiLower(source.substr(source.size() - 3));
  return tail == "txt" || tail == "m3u";
}

HandedPathKind handedPathKind(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return HandedPathKind::kNone;
  if (S_ISDIR(st.st_mode)) return HandedPathKind::kFolder;
  if (!S_ISREG(st.st_mode)) return HandedPathKind::kNone;
  if (isListSource(path)) return HandedPathKind::kPlaylist;
  MediaSwitches every_type;
  every_type.play_all = true;
  return classifyMediaFile(path, every_type) != kMediaNone ? HandedPathKind::kMediaFile
                                                           : HandedPathKind::kNone;
}

std::string importCountsLine(const ImportCounts& c) {
  std::string line =
      std::to_string(c.added) + " added, " + std::to_string(c.known) + " already known";
  if (c.finished > 0) line += " (" + std::to_string(c.finished) + " of them finished)";
  line += ", " + std::to_string(c.skipped()) + " skipped";
  if (c.skipped() > 0) {
    line += " (";
    appendCount(line, c.unsupported, "unsupported type");
    appendCount(line, c.too_long, "path too long");
    appendCount(line, c.unreadable, "unreadable");
    appendCount(line, c.not_paths, "not a path");
    line += ")";
  }
  return line;
}

Importer::Importer(engine::SharedLock& lock, marlbase::TableHandle& table, const Settings& settings,
                   ImportStatus& status, std::atomic<int32_t>& local_copy_changes)
    : lock_(lock),
      words_(lock.words()),
      table_(table),
      settings_(settings),
      status_(status),
      local_copy_changes_(local_copy_changes) {}

void Importer::runImport(const std::string& source) {
  if (words_.build_request.load() > 999) return;  // offline
  engine::Grant grant = lock_.requestAndWait(engine::kCodeImport, 0, 10);
  if (!grant) return;
  importUnderGrant({source}, /*handed=*/false);
}

bool Importer::runImportOfPaths(const std::vector<std::string>& paths) {
  if (words_.build_request.load() > 999) return false;  // offline
  engine::Grant grant = lock_.requestAndWait(engine::kCodeImport, 0, 10);
  if (!grant) return false;
  importUnderGrant(paths, /*handed=*/true);
  return true;
}

void Importer::runImportOfPathsHolding(const engine::Grant& grant,
                                       const std::vector<std::string>& paths) {
  if (grant.code() != engine::kCodeImport || words_.build_request.load() > 999) return;
  importUnderGrant(paths, /*handed=*/true);
}

void Importer::runImportHolding(const engine::Grant& grant, const std::string& source) {
  if (grant.code() != engine::kCodeImport || words_.build_request.load() > 999) return;
  importUnderGrant({source}, /*handed=*/false);
}

bool Importer::stillHolding() const { return words_.grant.load() == engine::kCodeImport; }

void Importer::fail(const std::string& reason) {
  words_.error.store(1);
  if (error_reason_.empty()) error_reason_ = reason;
}

std::string Importer::unusableTableReason() {
  if (!hasSongColumns(table_)) return "not a song table (its columns are not the song columns)";
  if (table_.capacity() == 0) return "the table has no slots (capacity 0) and cannot grow";
  // Slot 0 holds the blank record every song table starts with; the songs follow it. A library
  // that lost it (an older "Remove Missing files" deleted it) gets it back.
  repair_note_ = repairBlankFirstRecord(table_);
  if (table_.peekStatus(0).value_or(0) != marlbase::kStatusLive) {
    return "the table has no blank first record (slot 0 is not live)";
  }
  return {};
}

void Importer::importUnderGrant(const std::vector<std::string>& sources, bool handed) {
  words_.error.store(0);
  words_.abort.store(0);
  const int32_t build = words_.build_request.load();
  if (build >= 1 && build <= 999) words_.build_request.store(engine::kBuildNow);
  tag_options_ = tagOptionsOf(settings_);
  counts_ = ImportCounts{};
  error_reason_.clear();
  repair_note_.clear();
  visited_.clear();
  first_song_.clear();

  const std::string library = settings_.text(settings::kDatabasePath);
  table_.setPath(library);
  table_.setWritable(true);
  if (Status opened = table_.open(); !opened.ok()) {
    fail("cannot open the library " + library + ": " + opened.message());
  } else if (std::string why = unusableTableReason(); !why.empty()) {
    fail(library + ": " + why);
    table_.close();
  } else {
    settled_paths_.clear();
    for (const std::string& source : sources) {
      if (words_.abort.load() != 0 || !stillHolding()) break;
      importSource(source, handed);
    }
    table_.close();
    settled_paths_.clear();
  }

  if (words_.error.load() != 0) {
    status_.setLine1(kErrorImportingText);
    words_.error.store(0);
  } else {
    local_copy_changes_.store(100);
    status_.setLine1(kImportCompleteText);
    status_.setLine2(library);
  }
}

void Importer::importSource(const std::string& source, bool handed) {
  if (isListSource(source)) {
    std::atomic<bool> list_abort{false};
    int64_t long_lines = 0;
    Status read = readListFile(
        source,
        [&](const std::string& path) {
          if (words_.abort.load() != 0) list_abort.store(true);
          if (!list_abort.load()) onListLine(path);
        },
        &list_abort, &long_lines);
    counts_.too_long += long_lines;
    if (!read.ok()) fail(read.message());
    return;
  }
  // A handed-over media file is that one song (when its type is switched on).
  if (handed && handedPathKind(source) == HandedPathKind::kMediaFile) {
    if (classifyMediaFile(source, tag_options_.switches) == kMediaNone) {
      ++counts_.unsupported;
    } else if (source.size() > kMaxSongPath) {
      ++counts_.too_long;
    } else {
      (void)addSong(source);
    }
    return;
  }
  const std::string folder = parentFolderOf(source);
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    fail("no such folder: " + folder);
  } else {
    importFolder(folder);
  }
}

// The lookup goes through the table's index of the path column, which the handle keeps between
// opens, so an import costs what it imports, not the size of the library.
bool Importer::knownPath(const std::string& path, const std::string& folded) {
  table_.setSearchKey(path);
  if (table_.findInColumn(kColFileName) < 0) return false;
  if (!settled_paths_.insert(folded).second) return true;
  // The lowest live song under the path that is unfinished, as a scan from slot 1 finds it.
  for (int32_t s = table_.findInColumnFrom(1, kColFileName); s >= 0;
       s = table_.findInColumnFrom(s + 1, kColFileName)) {
    if (table_.peekStatus(s).value_or(0) == marlbase::kStatusLive && unfinished(s)) {
      if (finishSong(s, path)) ++counts_.finished;
      break;
    }
  }
  return true;
}

// A song an import of an older version was writing when it was stopped: its fields were written
// in the order path, texts, scores and credits user by user, checksum, with the record already
// live. What is missing is still blank: no text at all, the last users' scores and credits 0, or
// no checksum.
bool Importer::unfinished(int32_t slot) {
  bool texts = false;
  for (int32_t column : {kColTitle, kColArtist, kColAlbum, kColNote}) {
    texts = texts || !table_.readText(slot, column).value_or("").empty();
  }
  const bool last_user_blank = table_.readInt(slot, ratingColumn(kUserCount - 1)) == 0u &&
                               table_.readInt(slot, creditColumn(kUserCount - 1)) == 0u;
  return !texts || last_user_blank || table_.readInt(slot, kColFileId) == 0u;
}

// Fills what is still blank, as addSong would have written it; what a song has gained since
// (scores, plays) is kept. A file that cannot be read gives no texts and checksum 0, as on
// import. True when something was written.
bool Importer::finishSong(int32_t slot, const std::string& path) {
  bool changed = false;
  bool texts = false;
  for (int32_t column : {kColTitle, kColArtist, kColAlbum, kColNote}) {
    texts = texts || !table_.readText(slot, column).value_or("").empty();
  }
  if (!texts) {
    changed = fillSongFromFile(path, table_, slot, /*names_only=*/false, tag_options_);
    wrote();
  }
  // Users from the first whose score and credit are both 0, when every later one's are too.
  int32_t first_blank = kUserCount;
  while (first_blank > 0 && table_.readInt(slot, ratingColumn(first_blank - 1)) == 0u &&
         table_.readInt(slot, creditColumn(first_blank - 1)) == 0u) {
    --first_blank;
  }
  const auto default_score = static_cast<uint32_t>(settings_.get(settings::kDefaultImport));
  const auto target = static_cast<uint32_t>(settings_.get(settings::kTargetValue));
  for (int32_t user = first_blank; user < kUserCount; ++user) {
    (void)table_.writeInt(slot, ratingColumn(user), default_score);
    (void)table_.writeInt(slot, creditColumn(user), target);
    changed = true;
    wrote();
  }
  if (table_.readInt(slot, kColFileId) == 0u) {
    words_.watchdog_counter.store(0);
    const uint32_t checksum = fileChecksum(path);
    words_.watchdog_counter.store(0);
    if (checksum != 0) {
      (void)table_.writeInt(slot, kColFileId, checksum);
      changed = true;
      wrote();
    }
  }
  return changed;
}

int32_t Importer::reserveSlot() {
  if (table_.maintain() == 0 || !table_.isMapped()) return -1;
  const int32_t unused = table_.firstWithStatus(marlbase::kStatusUnused, 0);
  const int32_t deleted = table_.firstWithStatus(marlbase::kStatusDeleted, 0);
  if (unused < 0) return deleted;
  if (deleted < 0) return unused;
  return std::min(unused, deleted);
}

// Slots whose status is neither free (0, 5) nor occupied (above 9) are never reused, and the
// table grows only when too few slots are free or too many occupied: such slots can leave it
// with no free slot and no growth. The table engine refuses nothing there, so the import says it.
std::string Importer::noSlotReason() {
  int64_t unusable = 0;
  int32_t example = 0;
  for (uint32_t s = 0; s < table_.capacity(); ++s) {
    const int32_t status = table_.peekStatus(static_cast<int32_t>(s)).value_or(0);
    if (status != marlbase::kStatusUnused && status != marlbase::kStatusDeleted &&
        status <= marlbase::kHighestFreeStatus) {
      if (unusable++ == 0) example = status;
    }
  }
  std::string why = "no record could be added to the library (" +
                    std::to_string(table_.capacity()) + " slots, none free): ";
  if (unusable > 0) {
    return why + std::to_string(unusable) +
           " slots hold a status the table cannot reuse (such as " + std::to_string(example) +
           "), so it cannot grow";
  }
  return why + "the disk may be full";
}

int32_t Importer::addSong(const std::string& given_path) {
  const std::string path = given_path.substr(0, kMaxSongPath);
  const std::string key = asciiLower(path);
  if (knownPath(path, key)) {
    ++counts_.known;
    if (first_song_.empty()) first_song_ = path;
    return -1;
  }
  const int32_t slot = reserveSlot();
  wrote();
  if (slot < 0) {
    fail(noSlotReason());
    return -1;
  }
  // Every field first, while the slot is still free; a slot taken from a deleted song holds
  // that song's fields, so each field is written, none left as found.
  (void)table_.writeText(slot, kColFileName, path);
  wrote();
  for (int32_t column : {kColFlags, kColStartFrame, kColEndFrame, kColPlayCount, kColReserved10}) {
    (void)table_.writeInt(slot, column, 0);
  }
  for (int32_t column : {kColTitle, kColArtist, kColAlbum, kColNote}) {
    (void)table_.writeText(slot, column, "");
  }
  wrote();
  (void)fillSongFromFile(path, table_, slot, /*names_only=*/false, tag_options_);
  wrote();
  const auto default_score = static_cast<uint32_t>(settings_.get(settings::kDefaultImport));
  const auto target = static_cast<uint32_t>(settings_.get(settings::kTargetValue));
  for (int32_t user = 0; user < kUserCount; ++user) {
    (void)table_.writeInt(slot, ratingColumn(user), default_score);
    (void)table_.writeInt(slot, creditColumn(user), target);
    wrote();
  }
  // The checksum can take long: keep the watchdog from taking it for a stuck holder.
  words_.watchdog_counter.store(0);
  const uint32_t checksum = fileChecksum(path);
  words_.watchdog_counter.store(0);
  (void)table_.writeInt(slot, kColFileId, checksum);
  wrote();
  // Last: the song becomes live.
  if (table_.setStatus(slot, marlbase::kStatusLive) == 0) {
    fail("cannot mark the new record live");
    return -1;
  }
  wrote();
  settled_paths_.insert(key);
  ++counts_.added;
  if (first_song_.empty()) first_song_ = path;
  return slot;
}

void Importer::onListLine(const std::string& path) {
  // Lines of binary data: not text, and no file of that name.
  if ((hasControlCharacter(path) || !isValidUtf8(path)) && !exists(path)) {
    ++counts_.not_paths;
    return;
  }
  (void)addSong(path);
}

void Importer::importFolder(const std::string& folder) {
  if (words_.abort.load() != 0 || !stillHolding()) return;
  if (folder.size() > kMaxSystemPath) {
    ++counts_.too_long;
    return;
  }
  // A folder reached twice (a link back to a parent, a bind mount) is not entered again.
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) {
    ++counts_.unreadable;
    return;
  }
  if (!visited_.insert({st.st_dev, st.st_ino}).second) return;
  status_.refreshWindow();
  status_.setLine1(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) {
    ++counts_.unreadable;
    return;
  }
  while (const dirent* entry = readdir(dir.get())) {
    if (words_.abort.load() != 0) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + name;
    if (path.size() > kMaxSystemPath) {
      ++counts_.too_long;
      continue;
    }
    bool is_dir = entry->d_type == DT_DIR;
    bool is_file = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat target;
      if (stat(path.c_str(), &target) != 0) {
        ++counts_.unreadable;
        continue;
      }
      is_dir = S_ISDIR(target.st_mode);
      is_file = S_ISREG(target.st_mode);
    }
    if (is_dir) {
      importFolder(path + "/");
    } else if (is_file && classifyMediaFile(name, tag_options_.switches) != kMediaNone) {
      if (path.size() > kMaxSongPath) {
        ++counts_.too_long;
        continue;
      }
      if (addSong(path) >= 0) status_.setLine2(path);
    } else if (is_file) {
      ++counts_.unsupported;
    }
  }
}

}  // namespace tunora::media

// Import from folders and playlists: the thread body, the folder walk and adding one song.
#include "import/import.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "engine/lock_codes.h"
#include "library/file_checksum.h"
#include "library/song_columns.h"
#include "media/path_helpers.h"
#include "media/playlist_file.h"
#include "media/settings_adaptor.h"
#include "util/text_codec.h"

namespace tunora::media {
namespace {

// The widest path a song record keeps; a longer one would name a file that does not exist.
constexpr size_t kMaxSongPath = 600;

bool isListSource(const std::string& source) {
  if (source.size() < 3) return false;
  const std::string tail = asciiLower(source.substr(source.size() - 3));
  return tail == "txt" || tail == "m3u";
}

}  // namespace

Importer::Importer(engine::SharedLock& lock, marlbase::TableHandle& table,
                   const Settings& settings, ImportStatus& status,
                   std::atomic<int32_t>& local_copy_changes)
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
  importUnderGrant(source);
}

void Importer::runImportHolding(const engine::Grant& grant, const std::string& source) {
  if (grant.code() != engine::kCodeImport || words_.build_request.load() > 999) return;
  importUnderGrant(source);
}

bool Importer::stillHolding() const { return words_.grant.load() == engine::kCodeImport; }

void Importer::importUnderGrant(const std::string& source) {
  words_.error.store(0);
  words_.abort.store(0);
  const int32_t build = words_.build_request.load();
  if (build >= 1 && build <= 999) words_.build_request.store(engine::kBuildNow);
  tag_options_ = tagOptionsOf(settings_);
  skipped_long_paths_ = 0;
  songs_added_ = 0;
  visited_.clear();

  const std::string library = settings_.text(settings::kDatabasePath);
  table_.setPath(library);
  table_.setWritable(true);
  if (!table_.open().ok()) {
    words_.error.store(1);
  } else {
    loadPathIndex();
    if (isListSource(source)) {
      std::atomic<bool> list_abort{false};
      Status read = readListFile(source, [&](const std::string& path) {
        if (words_.abort.load() != 0) list_abort.store(true);
        if (!list_abort.load()) (void)addSong(path);
      }, &list_abort);
      if (!read.ok()) words_.error.store(1);
    } else {
      importFolder(parentFolderOf(source));
    }
    table_.close();
    known_paths_.clear();
  }

  if (words_.error.load() != 0) {
    status_.setLine1(kErrorImportingText);
    words_.error.store(0);
  } else {
    local_copy_changes_.store(100);
    status_.setLine1(kImportCompleteText);
    std::string line2 = library;
    if (skipped_long_paths_ > 0) {
      line2 += " (" + std::to_string(skipped_long_paths_) +
               " files skipped: path longer than 600 characters)";
    }
    status_.setLine2(line2);
  }
}

// Paths are kept as the table's lookups compare them: ASCII letters in either case.
void Importer::loadPathIndex() {
  known_paths_.clear();
  // Slot 0 is never found by a path lookup, and only occupied records are.
  for (uint32_t s = 1; s < table_.capacity(); ++s) {
    const auto slot = static_cast<int32_t>(s);
    if (table_.peekStatus(slot).value_or(0) <= marlbase::kHighestFreeStatus) continue;
    if (auto path = table_.readText(slot, kColFileName)) known_paths_.insert(asciiLower(*path));
  }
}

int32_t Importer::addSong(const std::string& given_path) {
  const std::string path = given_path.substr(0, kMaxSongPath);
  const std::string key = asciiLower(path);
  if (known_paths_.count(key) != 0) return -1;
  const int32_t slot = table_.allocate();
  if (slot < 0) {
    words_.error.store(1);
    return -1;
  }
  known_paths_.insert(key);
  ++songs_added_;
  (void)table_.writeText(slot, kColFileName, path);
  for (int32_t column : {kColFlags, kColStartFrame, kColEndFrame, kColPlayCount, kColReserved10}) {
    (void)table_.writeInt(slot, column, 0);
  }
  (void)fillSongFromFile(path, table_, slot, /*names_only=*/false, tag_options_);
  const auto default_score = static_cast<uint32_t>(settings_.get(settings::kDefaultImport));
  const auto target = static_cast<uint32_t>(settings_.get(settings::kTargetValue));
  for (int32_t user = 0; user < kUserCount; ++user) {
    (void)table_.writeInt(slot, ratingColumn(user), default_score);
    (void)table_.writeInt(slot, creditColumn(user), target);
  }
  // The checksum can take long: keep the watchdog from taking it for a stuck holder.
  words_.watchdog_counter.store(0);
  const uint32_t checksum = fileChecksum(path);
  words_.watchdog_counter.store(0);
  (void)table_.writeInt(slot, kColFileId, checksum);
  return slot;
}

void Importer::importFolder(const std::string& folder) {
  if (words_.abort.load() != 0 || !stillHolding()) return;
  // A folder reached twice (a link back to a parent, a bind mount) is not entered again.
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !visited_.insert({st.st_dev, st.st_ino}).second) return;
  status_.refreshWindow();
  status_.setLine1(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return;
  while (const dirent* entry = readdir(dir.get())) {
    if (words_.abort.load() != 0) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + name;
    bool is_dir = entry->d_type == DT_DIR;
    bool is_file = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat target;
      if (stat(path.c_str(), &target) != 0) continue;
      is_dir = S_ISDIR(target.st_mode);
      is_file = S_ISREG(target.st_mode);
    }
    if (is_dir) {
      importFolder(path + "/");
    } else if (is_file && classifyMediaFile(name, tag_options_.switches) != kMediaNone) {
      if (path.size() > kMaxSongPath) {
        ++skipped_long_paths_;
        continue;
      }
      if (addSong(path) >= 0) status_.setLine2(path);
    }
  }
}

}  // namespace tunora::media

// The Database dialog's work without a window.
#include "maintenance/database_work.h"

#include <sys/stat.h>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "media/settings_adaptor.h"

namespace tunora::maintenance {

DbInputKind inputKindOf(DbFunction function) {
  switch (function) {
    case DbFunction::kSavePlaylist:
      return DbInputKind::kPlaylistFile;
    case DbFunction::kCopyRatings:
      return DbInputKind::kTwoUsers;
    case DbFunction::kUpScore:
      return DbInputKind::kOneUser;
    case DbFunction::kReDefault:
      return DbInputKind::kStartFrom;
    default:
      return DbInputKind::kNone;
  }
}

int32_t keypadUser(std::optional<int32_t> button) {
  if (!button || *button < 1 || *button > kUserCount) return 0;
  return *button;
}

bool libraryOffline(const engine::SharedWords& words) { return words.build_request.load() > 999; }

DbValues dbValuesOf(const Settings& settings) {
  DbValues values;
  values.target_value = static_cast<uint32_t>(settings.get(settings::kTargetValue));
  values.default_import = static_cast<uint32_t>(settings.get(settings::kDefaultImport));
  values.tag_options = media::tagOptionsOf(settings);
  return values;
}

FunctionOutcome runFunctionThread(FunctionThreadParts& parts, DbFunction function,
                                  const DbInputs& inputs, const DbValues& values,
                                  const std::atomic<bool>* abort, DbProgress& progress,
                                  const DbRunner& runner) {
  FunctionOutcome outcome;
  engine::SharedWords& words = parts.lock.words();
  if (libraryOffline(words)) return outcome;
  engine::Grant grant = parts.lock.requestAndWait(engine::kCodeDatabaseFunction, 0, 2);
  if (!grant) {
    outcome.end = FunctionEnd::kNotGranted;
    return outcome;
  }
  parts.message_flag.store(0);
  const int32_t build = words.build_request.load();
  if (build >= 1 && build <= 999) words.build_request.store(engine::kBuildNow);

  progress.setLine1(confirmationText(function, inputs));
  if (!parts.library.openLibraryForWriting()) {
    outcome.end = FunctionEnd::kNotOpened;
    progress.setLine2("Cannot open the library for writing");
  } else {
    outcome.end = FunctionEnd::kRan;
    outcome.result = runner(function, parts.library.table(), inputs, values, abort, &progress);
    parts.library.closeLibraryAfterWriting();
    progress.setLine1(kFinishedText);
    progress.setLine2(finishedLine2(function, outcome.result));
  }
  parts.refresh_counter.store(100);
  grant.release();
  return outcome;
}

std::string finishedLine2(DbFunction function, const DbResult& result) {
  if (!result.ok) return std::string(dbFunctionName(function)) + " failed: " + result.error;
  return resultLine(function, result);
}

std::string refusedLine(DbFunction function, const std::string& reason) {
  return std::string(dbFunctionName(function)) + " refused: " + reason;
}

namespace {

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Whether the file holds a song table (opened read-only and closed again).
bool holdsSongTable(const std::string& path) {
  marlbase::TableHandle table;
  table.setPath(path);
  table.setWritable(false);
  if (!table.open().ok()) return false;
  const bool songs = hasSongColumns(table);
  table.close();
  return songs;
}

}  // namespace

std::string importSourceOf(const std::string& edit_text) {
  std::string source = edit_text.substr(0, kImportSourceLimit);
  if (!source.empty() && source.back() != '/' && isFolder(source)) source += '/';
  return source;
}

std::string folderSource(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder;
  return folder + "/";
}

DbChangeEnd changeDatabase(DbChangeParts& parts, DbChangeKind kind, const std::string& chosen) {
  DbChangeEnd end;
  {
    engine::Grant grant = parts.lock.requestAndWait(engine::kCodeDatabaseDialog, 0, 10);
    if (!grant) return DbChangeEnd::kNotGranted;
    if (kind == DbChangeKind::kNew && !fileExists(chosen)) {
      marlbase::TableHandle table;
      if (!createSongTable(table, chosen)) return DbChangeEnd::kCreateFailed;
      table.close();
      end = DbChangeEnd::kCreated;
    } else if (!holdsSongTable(chosen)) {
      return DbChangeEnd::kNotSongTable;
    } else {
      end = DbChangeEnd::kChanged;
    }
    parts.settings.setText(settings::kDatabasePath, chosen);
    parts.lock.words().build_request.store(engine::kBuildIdle);
    parts.refresh_counter.store(100);
    if (parts.library != nullptr) {
      // The handle keeps the counts of the library it last opened: the new one's are read now.
      parts.library->openLibraryForReading();
      parts.library->table().close();
    }
  }
  if (parts.save_settings) parts.save_settings();
  if (parts.refresh_status) parts.refresh_status();
  return end;
}

std::string changeLine2(DbChangeEnd end, const std::string& chosen) {
  switch (end) {
    case DbChangeEnd::kNotGranted:
      return "The library is busy: try again";
    case DbChangeEnd::kNotSongTable:
      return "Not a song library: " + chosen;
    case DbChangeEnd::kCreateFailed:
      return "Cannot create " + chosen;
    case DbChangeEnd::kChanged:
    case DbChangeEnd::kCreated:
      break;
  }
  return chosen;
}

}  // namespace tunora::maintenance

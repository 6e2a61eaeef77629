// tunora-cli db, search, top and worst: the Database dialog's maintenance functions and the
// search window's rows, without a window.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/command.h"
#include "cli/file_checks.h"
#include "cli/output.h"
#include "cli/settings_input.h"
#include "engine/song_draw.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "maintenance/db_functions.h"
#include "maintenance/song_search.h"
#include "marlbase/table_handle.h"
#include "media/settings_adaptor.h"
#include "settings/settings_layout.h"
#include "util/json_out.h"

namespace tunora::cli {
namespace {

using maintenance::DbFunction;

int usage(const std::string& message) {
  std::fprintf(stderr, "tunora-cli: %s (try --help)\n", message.c_str());
  return kExitUsage;
}

// A user number as typed: digits only. nullopt for anything else.
std::optional<int32_t> userNumber(const std::string& text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int32_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

// Opens the song table named by --db; an error message, or empty.
std::string openSongTable(marlbase::TableHandle& table, const std::string& path, bool writable) {
  table.setPath(path);
  table.setWritable(writable);
  if (Status s = table.open(); !s.ok()) return path + ": " + s.message();
  if (!hasSongColumns(table)) {
    table.close();
    return path + ": not a song table";
  }
  return {};
}

// The positional arguments each function takes after --db.
size_t argumentCount(DbFunction function) {
  switch (function) {
    case DbFunction::kSavePlaylist:
    case DbFunction::kUpScore:
    case DbFunction::kReDefault:
      return 1;
    case DbFunction::kCopyRatings:
      return 2;
    default:
      return 0;
  }
}

int runDb(DbFunction function, const Args& args) {
  const auto db = args.option("--db");
  const auto& words = args.positional();
  if (!db) return usage("--db TABLE is needed");
  if (words.size() != argumentCount(function)) return usage("wrong number of arguments");
  const auto settings_file = args.option("--settings");
  maintenance::DbInputs inputs;
  switch (function) {
    case DbFunction::kSavePlaylist:
      inputs.playlist_path = words[0];
      if (std::string e =
              sameFileError({{"--db", db}, {"--settings", settings_file}, {"OUT", words[0]}});
          !e.empty()) {
        return fail(e);
      }
      if (std::string e = outputPathError(words[0]); !e.empty()) return fail(e);
      break;
    case DbFunction::kCopyRatings:
    case DbFunction::kUpScore: {
      const auto a = userNumber(words[0]);
      const auto b = words.size() > 1 ? userNumber(words[1]) : std::optional<int32_t>(0);
      if (!a || !b) return usage("users are numbered 1 to 10");
      inputs.user_a = *a;
      inputs.user_b = *b;
      break;
    }
    case DbFunction::kReDefault:
      inputs.start_text = words[0];
      break;
    default:
      break;
  }
  if (auto refusal = maintenance::refusalOf(function, inputs)) {
    return fail(std::string(maintenance::dbFunctionName(function)) + " refused: " + *refusal);
  }
  Settings settings;
  std::string error;
  if (!readSettingsArgument(settings_file, true, settings, error)) return fail(error);
  maintenance::DbValues values;
  values.target_value = static_cast<uint32_t>(settings.get(settings::kTargetValue));
  values.default_import = static_cast<uint32_t>(settings.get(settings::kDefaultImport));
  values.tag_options = media::tagOptionsOf(settings);

  marlbase::TableHandle table;
  if (std::string e = openSongTable(table, *db, true); !e.empty()) return fail(e);
  const maintenance::DbResult result =
      maintenance::runDbFunction(function, table, inputs, values, nullptr, nullptr);
  table.close();
  if (!result.ok) return fail(result.error);
  std::printf("%s\n", maintenance::resultLine(function, result).c_str());
  return kExitOk;
}

template <DbFunction F>
int runDbFunction(const Args& args) {
  return runDb(F, args);
}

void printRows(const std::vector<maintenance::SearchRow>& rows) {
  for (const auto& row : rows) {
    JsonWriter json;
    json.beginObject()
        .key("title")
        .value(outputText(row.title, false))
        .key("artist")
        .value(outputText(row.artist, false))
        .key("album")
        .value(outputText(row.album, false))
        .key("path")
        .value(outputText(row.path, false))
        .key("type")
        .value(row.type)
        .key("rating")
        .value(row.rating)
        .key("index")
        .value(row.index)
        .endObject();
    std::printf("%s\n", json.str().c_str());
  }
}

// The rows' options from --settings and --user (1..10; the first state's user by default).
int rowOptions(const Args& args, maintenance::RowOptions& options) {
  Settings settings;
  std::string error;
  if (!readSettingsArgument(args.option("--settings"), true, settings, error)) return fail(error);
  options.thresholds = engine::ratingThresholdsOf(settings);
  options.switches = media::mediaSwitchesOf(settings);
  options.user = std::clamp(settings.get(settings::kStateUser, 0), 0, kUserCount - 1);
  if (const auto user = args.option("--user")) {
    const auto n = userNumber(*user);
    if (!n || *n < 1 || *n > kUserCount) return usage("--user takes 1 to 10");
    options.user = *n - 1;
  }
  return kExitOk;
}

int runSearch(const Args& args) {
  const auto db = args.option("--db");
  if (!db) return usage("--db TABLE is needed");
  if (args.positional().size() != 1) return usage("search needs one PHRASE");
  maintenance::RowOptions options;
  if (int status = rowOptions(args, options); status != kExitOk) return status;
  marlbase::TableHandle table;
  if (std::string e = openSongTable(table, *db, false); !e.empty()) return fail(e);
  printRows(maintenance::phraseSearch(table, args.positional()[0], options));
  table.close();
  return kExitOk;
}

template <maintenance::Ranking R>
int runRanking(const Args& args) {
  const auto db = args.option("--db");
  if (!db) return usage("--db TABLE is needed");
  if (!args.positional().empty()) return usage("no arguments besides the options");
  maintenance::RowOptions options;
  if (int status = rowOptions(args, options); status != kExitOk) return status;
  marlbase::TableHandle table;
  if (std::string e = openSongTable(table, *db, false); !e.empty()) return fail(e);
  printRows(maintenance::rankSongs(table, R, options));
  table.close();
  return kExitOk;
}

Command dbCommand(const char* word, const char* arguments, const char* summary,
                  int (*run)(const Args&)) {
  return {{"db", word},
          std::string("[--settings FILE] --db TABLE") + arguments,
          summary,
          {"--settings", "--db"},
          run};
}

}  // namespace

std::vector<Command> dbCommands() {
  using F = DbFunction;
  return {
      dbCommand("save-playlist", " OUT",
                "write every live song's path to the playlist OUT, one a line (CR LF)",
                runDbFunction<F::kSavePlaylist>),
      dbCommand("remove-duplicates", "", "delete every song whose exact path a lower record holds",
                runDbFunction<F::kRemoveDuplicates>),
      dbCommand("copy-ratings", " A B", "copy user A's ratings to user B (users 1..10)",
                runDbFunction<F::kCopyRatings>),
      dbCommand("upscore", " A", "give user A (1..10) twice the target value for every song",
                runDbFunction<F::kUpScore>),
      dbCommand("remove-missing", "", "delete the songs whose files cannot be found",
                runDbFunction<F::kRemoveMissing>),
      dbCommand("reload-tags", "", "read every unlocked song's texts from its file again",
                runDbFunction<F::kReloadTags>),
      dbCommand("redefault", " START",
                "give every user the default import score from the START-th song on (0: the "
                "first)",
                runDbFunction<F::kReDefault>),
      dbCommand("undelete-all", "", "make every deleted song live again",
                runDbFunction<F::kUndeleteAll>),
      dbCommand("reset-start-points", "", "set every song's start point to 0",
                runDbFunction<F::kResetStartPoints>),
      dbCommand("sort-by-name", "", "sort the library by title", runDbFunction<F::kSortByName>),
      dbCommand("sort-by-artist", "", "sort the library by artist",
                runDbFunction<F::kSortByArtist>),
      {{"search"},
       "[--settings FILE] --db TABLE [--user N] PHRASE",
       "the songs containing PHRASE, one JSON object a line (title, artist, album, path, type, "
       "rating, index)",
       {"--settings", "--db", "--user"},
       runSearch},
      {{"top"},
       "[--settings FILE] --db TABLE [--user N]",
       "the 100 best-rated played songs, most played first within a rating, as search prints",
       {"--settings", "--db", "--user"},
       runRanking<maintenance::Ranking::kTop>},
      {{"worst"},
       "[--settings FILE] --db TABLE [--user N]",
       "the 100 worst-rated played songs, most played first within a rating, as search prints",
       {"--settings", "--db", "--user"},
       runRanking<maintenance::Ranking::kWorst>},
  };
}

}  // namespace tunora::cli

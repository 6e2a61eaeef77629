// tunora-cli fill: the media filler from a terminal.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/command.h"
#include "cli/output.h"
#include "cli/settings_input.h"
#include "cli/terminal_builder.h"
#include "engine/list_builder.h"
#include "engine/random_source.h"
#include "filler/empty_dir.h"
#include "filler/fill_engine.h"
#include "filler/fill_plan.h"
#include "filler/protected_library.h"
#include "network/library_opening.h"
#include "settings/filler_layout.h"
#include "util/xdg_folders.h"

namespace tunora::cli {
namespace {

int usage(const std::string& message) {
  std::fprintf(stderr, "tunora-cli: %s (try fill --help)\n", message.c_str());
  return kExitUsage;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The places this user's Tunora and its library live: never emptied.
filler::ProtectedPlaces protectedPlaces(const std::string& db, marlbase::TableHandle& table) {
  filler::ProtectedPlaces places;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') places.setHome(home);
  const auto data_root = xdgFolder(XdgFolder::kDataHome, processEnvironment());
  if (data_root) places.setDataDirectory(*data_root + "/Pellan/Tunora/");
  char exe[PATH_MAX];
  if (::realpath("/proc/self/exe", exe) != nullptr) places.setProgramDirectory(folderOf(exe));
  filler::protectLibrary(places, db, table);
  return places;
}

class CliFillReport final : public filler::FillReport {
 public:
  explicit CliFillReport(bool bytes) : bytes_(bytes) {}
  void setTitle(const std::string& /*title*/) override {}
  void fileCopied(const std::string& target, uint64_t /*bytes*/) override {
    std::printf("%s\n", outputText(target, bytes_).c_str());
    std::fflush(stdout);
  }

 private:
  bool bytes_;
};

int runFill(const Args& args) {
  const auto db = args.option("--db");
  const auto dest = args.option("--dest");
  if (!db || !dest) return usage("fill needs --db and --dest");
  if (!args.positional().empty()) return usage("fill takes no arguments besides its options");
  int32_t size_index = settings::kFillSizeDefault;
  if (const auto size = args.option("--size")) {
    const auto index = filler::fillSizeIndexOf(*size);
    if (!index) return usage("--size takes 128MB, 256MB, 512MB, 1GB, 2GB, 4GB, 8GB or fill");
    size_index = *index;
  }
  int64_t user = 0, mode = 0, seed = -1;
  if (!parseNumber(args.option("--user"), 0, 9, user)) return usage("--user takes 0..9");
  if (!parseNumber(args.option("--mode"), 0, 9, mode)) return usage("--mode takes 0..9");
  if (!parseNumber(args.option("--seed"), 0, INT64_MAX, seed)) return usage("bad --seed");

  Settings settings;
  std::string error;
  if (!readSettingsArgument(std::nullopt, true, settings, error)) return fail(error);
  settings.setText(settings::kDatabasePath, *db);
  settings.set(settings::kFillSizeIndex, size_index);
  settings.set(settings::kFillAddNumber, args.flag("--add-number") ? 1 : 0);
  settings.set(settings::kFillEmptyDir, args.flag("--empty-dir") ? 1 : 0);
  settings.set(settings::kFillUser, static_cast<int32_t>(user));
  settings.set(settings::kFillAltMode, static_cast<int32_t>(mode));
  settings.setText(settings::kFillOutputDir, *dest);

  marlbase::TableHandle table;
  table.setPath(*db);
  if (Status s = table.open(); !s.ok()) return fail(*db + ": " + s.message());
  const filler::ProtectedPlaces places = protectedPlaces(*db, table);
  table.close();
  // The output folder is checked whether or not it is to be emptied: songs are written into it.
  if (dest->empty() || (*dest)[0] != '/')
    return fail(*dest + ": the output folder must be a full path");
  if (args.flag("--empty-dir")) {
    if (std::string refusal = places.refusal(*dest); !refusal.empty()) return fail(refusal);
    const filler::EmptyResult emptied = filler::emptyFolder(*dest);
    if (!emptied.error.empty()) return fail(emptied.error);
    std::printf("Emptied %s: %d files deleted, %d entries kept%s\n", dest->c_str(), emptied.deleted,
                emptied.kept,
                emptied.failed > 0
                    ? (", " + std::to_string(emptied.failed) + " not deletable").c_str()
                    : "");
  }

  Env& env = Env::Default();
  TerminalBuilder parts(table, settings, env, seed);
  filler::PosixFillFiles files;
  CliFillReport report(args.flag("--bytes"));
  filler::FillEngine fill(parts.lock, parts.builder, parts.library, settings, files, report, env);
  const filler::FillResult result = fill.run();

  std::printf("%s: %d %s, %llu bytes\n", filler::fillSummary(result).c_str(), result.files,
              result.files == 1 ? "file" : "files", static_cast<unsigned long long>(result.bytes));
  if (!result.flush_error.empty()) return fail("not flushed: " + result.flush_error);
  const bool done = result.end == filler::FillEnd::kBudgetUsed ||
                    result.end == filler::FillEnd::kReserveReached ||
                    result.end == filler::FillEnd::kAllCopied;
  if (!done) return fail(result.message);
  return kExitOk;
}

}  // namespace

std::vector<Command> fillerCommands() {
  return {
      {{"fill"},
       "--db TABLE --dest DIR [--size 128MB|256MB|512MB|1GB|2GB|4GB|8GB|fill] [--add-number] "
       "[--empty-dir] [--user N] [--mode M] [--seed N] [--bytes]",
       "Copies songs the list builder picks for user N (alt mode M) into DIR until the size is "
       "used (default 4GB; \"fill\": until 64 MB or 1 % of the disk is left) or every song it "
       "can pick was copied (each song once), printing each copied file and a summary. A file "
       "already in DIR is never replaced: a song whose name is taken is saved as \"NAME (2)\" "
       "(the summary counts them). --empty-dir first deletes the files (not folders) directly in "
       "DIR; folders holding the library or its songs, home, data and program folders are "
       "refused.",
       {"--db", "--dest", "--size", "--user", "--mode", "--seed"},
       runFill},
  };
}

}  // namespace tunora::cli

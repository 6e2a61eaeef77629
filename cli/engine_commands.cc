// tunora-cli build and import: the list builder and the import without a window.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "cli/command.h"
#include "cli/file_checks.h"
#include "cli/output.h"
#include "cli/settings_input.h"
#include "cli/terminal_builder.h"
#include "engine/list_builder.h"
#include "engine/lock_codes.h"
#include "engine/random_source.h"
#include "import/import.h"
#include "media/playlist_file.h"
#include "network/library_opening.h"
#include "settings/settings_defaults.h"
#include "settings/settings_file.h"

namespace tunora::cli {
namespace {

// Passes in a row without a pick after which the build gives up: by then the miss count has
// lowered the minimum rating to 0, so only the naughty limit or the file-type switches can be
// keeping every song out.
constexpr int kMaxPassesWithoutPick = 100;

// The songs of a library as its users count them: the live records after the blank one in
// slot 0.
int32_t songCount(marlbase::TableHandle& table) {
  const bool blank = table.peekStatus(0).value_or(0) == marlbase::kStatusLive;
  return table.liveCount() - (blank ? 1 : 0);
}

int runBuild(const Args& args) {
  const auto db = args.option("--db");
  if (!db || !args.positional().empty()) return fail("usage: build --db TABLE (try --help)");
  const auto out = args.option("--out");
  const auto settings_file = args.option("--settings");
  // Everything the build will write is checked before it changes the library.
  if (std::string e = sameFileError({{"--db", db}, {"--settings", settings_file}, {"--out", out}});
      !e.empty()) {
    return fail(e);
  }
  for (const auto& file : {out, settings_file}) {
    if (!file) continue;
    if (std::string e = outputPathError(*file); !e.empty()) return fail(e);
  }
  Settings settings;
  std::string error;
  if (!readSettingsArgument(settings_file, true, settings, error)) return fail(error);
  int64_t state = settings.get(settings::kCurrentState);
  int64_t count = settings.get(settings::kListSize);
  int64_t seed = -1;
  if (!parseNumber(args.option("--state"), 0, 9, state)) return fail("--state takes 0..9");
  if (!parseNumber(args.option("--count"), 1, 1'000'000, count)) return fail("bad --count");
  if (!parseNumber(args.option("--seed"), 0, INT64_MAX, seed)) return fail("bad --seed");
  settings.set(settings::kCurrentState, static_cast<int32_t>(state));
  settings.setText(settings::kDatabasePath, *db);
  const int32_t saved_list_size = settings.get(settings::kListSize);
  settings.set(settings::kListSize, static_cast<int32_t>(count));

  marlbase::TableHandle table;
  table.setPath(*db);
  if (Status s = table.open(); !s.ok()) return fail(*db + ": " + s.message());
  const int32_t songs = songCount(table);
  table.close();
  if (!engine::enoughSongsToBuild(songs)) {
    return fail(*db + ": the library holds " + std::to_string(songs) +
                (songs == 1 ? " song" : " songs") + "; the list builder needs at least " +
                std::to_string(engine::kMinimumSongsToBuild) +
                ". Import more music: tunora-cli import --db " + *db + " FOLDER");
  }

  TerminalBuilder parts(table, settings, Env::Default(), seed);
  engine::SharedWords& words = parts.words;
  engine::SharedLock& lock = parts.lock;
  network::LibraryOpening& library = parts.library;
  engine::PlayList& play_list = parts.play_list;
  engine::StatusMessage& status = parts.status;
  engine::ListBuilder& builder = parts.builder;
  engine::Grant grant = lock.takeGrantDirectly(engine::kCodeListBuilder);
  library.openLibraryForReading();  // the builder reads the live count as last opened
  table.close();

  const bool bytes = args.flag("--bytes");
  std::vector<std::string> picked;
  int passes_without_pick = 0;
  words.build_request.store(engine::kBuildNow);
  while (static_cast<int64_t>(picked.size()) < count) {
    builder.runBuildPassHolding(grant);
    if (builder.busy() == 2 || status.text() == engine::kCannotOpenListText) {
      return fail(*db + ": cannot open the library for writing");
    }
    if (play_list.size() > static_cast<int32_t>(picked.size())) {
      picked.push_back((*play_list.row(play_list.size() - 1))[engine::kFileNameColumn]);
      std::printf("%s\n", outputText(picked.back(), bytes).c_str());
      std::fflush(stdout);
      passes_without_pick = 0;
    } else if (++passes_without_pick >= kMaxPassesWithoutPick) {
      std::fprintf(stderr,
                   "tunora-cli: no song passes the filters of state %lld (naughty limit, "
                   "file types); %zu picked\n",
                   static_cast<long long>(state), picked.size());
      break;
    }
  }
  grant.release();
  settings.set(settings::kListSize, saved_list_size);
  if (out) {
    if (Status s = media::writePlayList(*out, picked); !s.ok())
      return fail(*out + ": " + s.message());
  }
  if (settings_file) {
    if (Status s = writeSettingsFile(*settings_file, settings); !s.ok()) {
      return fail(*settings_file + ": " + s.message());
    }
  }
  return static_cast<int64_t>(picked.size()) == count ? 0 : 1;
}

// Status line 1 at the end goes to standard output; while the import works, its progress goes to
// standard error when that is a terminal.
class CliImportStatus final : public media::ImportStatus {
 public:
  explicit CliImportStatus(bool progress) : progress_(progress) {}
  void setLine1(const std::string& text) override { line1_ = text; }
  void setLine2(const std::string& text) override {
    line2_ = text;
    if (progress_) std::fprintf(stderr, "\r\033[K%s", displayText(text).substr(0, 200).c_str());
  }
  const std::string& line1() const { return line1_; }
  const std::string& line2() const { return line2_; }
  void endProgress() const {
    if (progress_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool progress_;
  std::string line1_;
  std::string line2_;
};

// The source as the user named it: a folder (with or without "/" at its end) means that folder;
// anything else is a playlist file. Empty, with `error` set, when it does not exist.
std::string importSource(const std::string& given, std::string& error) {
  struct stat st {};
  if (::stat(given.c_str(), &st) != 0) {
    error = given + ": no such file or folder";
    return {};
  }
  std::error_code ec;
  // Songs are stored by their full paths.
  std::string source = given;
  if (source[0] != '/') {
    const std::filesystem::path full = std::filesystem::absolute(source, ec);
    if (ec) {
      error = given + ": " + ec.message();
      return {};
    }
    source = full.lexically_normal().string();
  }
  if (S_ISDIR(st.st_mode)) {
    if (source.back() != '/') source += '/';
    return source;
  }
  const std::string tail = source.size() < 3 ? "" : asciiLower(source.substr(source.size() - 3));
  if (!S_ISREG(st.st_mode) || (tail != "m3u" && tail != "txt")) {
    error = given + ": not a folder or a playlist file (.m3u, .txt)";
    return {};
  }
  return source;
}

int runImport(const Args& args) {
  const auto db = args.option("--db");
  if (!db || args.positional().size() != 1) {
    return fail("usage: import [--settings FILE] --db TABLE SOURCE (try --help)");
  }
  const auto settings_file = args.option("--settings");
  if (std::string e = sameFileError(
          {{"--db", db}, {"--settings", settings_file}, {"SOURCE", args.positional()[0]}});
      !e.empty()) {
    return fail(e);
  }
  Settings settings;
  std::string error;
  if (!readSettingsArgument(settings_file, true, settings, error)) return fail(error);
  settings.setText(settings::kDatabasePath, *db);
  const std::string source = importSource(args.positional()[0], error);
  if (source.empty()) return fail(error);

  marlbase::TableHandle table;
  engine::SharedWords words;
  engine::SharedLock lock(words, Env::Default());
  std::atomic<int32_t> local_copy_changes{0};
  CliImportStatus status(isatty(STDERR_FILENO) != 0);
  media::Importer importer(lock, table, settings, status, local_copy_changes);
  {
    engine::Grant grant = lock.takeGrantDirectly(engine::kCodeImport);
    importer.runImportHolding(grant, source);
  }
  status.endProgress();
  if (!importer.repairNote().empty()) {
    std::fprintf(stderr, "tunora-cli: %s\n", displayText(importer.repairNote()).c_str());
  }
  std::printf("%s\n%s\n", status.line1().c_str(),
              media::importCountsLine(importer.counts()).c_str());
  if (status.line1() != media::kImportCompleteText) {
    return fail(displayText(importer.errorReason()));
  }
  return 0;
}

}  // namespace

std::vector<Command> engineCommands() {
  return {
      {{"build"},
       "[--settings FILE] --db TABLE [--state S] [--count N] [--out FILE.m3u] [--seed N] [--bytes]",
       "Runs build passes until N songs are picked (default: the ListSize setting), printing each "
       "picked path; updates credits and play counts, and the settings file when given.",
       {"--settings", "--db", "--state", "--count", "--out", "--seed"},
       runBuild},
      {{"import"},
       "[--settings FILE] --db TABLE SOURCE",
       "Imports a folder (every media file in SOURCE and below) or a playlist (SOURCE ending in "
       "txt or m3u) into the song table; prints \"Import Complete\" or \"Error Importing\" "
       "(with the reason on standard error, exit 1), then one line of counts: added, already "
       "known, skipped with the reasons.",
       {"--settings", "--db"},
       runImport},
  };
}

}  // namespace tunora::cli

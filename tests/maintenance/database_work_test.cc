// The Database dialog's work without a window: the inputs each function asks for, the function
// thread's steps around the grant of code 32, the import source from the path edit, and
// "ChangeDB" / "NewDB" under the grant of code 28.
#include "maintenance/database_work.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

// The library at a path, opened as the program's library opening does without Network mode.
class PathLibrary final : public engine::LibraryAccess {
 public:
  explicit PathLibrary(std::string path) : path_(std::move(path)) {}
  void openLibraryForReading() override {
    table_.setPath(path_);
    table_.setWritable(false);
    (void)table_.open();
  }
  bool openLibraryForWriting() override {
    table_.setPath(path_);
    table_.setWritable(true);
    return table_.open().ok();
  }
  void closeLibraryAfterWriting() override { table_.close(); }
  marlbase::TableHandle& table() override { return table_; }

 private:
  std::string path_;
  marlbase::TableHandle table_;
};

class RecordedLines final : public DbProgress {
 public:
  void setLine1(const std::string& text) override {
    std::lock_guard lock(mu_);
    line1.push_back(text);
  }
  void setLine2(const std::string& text) override {
    std::lock_guard lock(mu_);
    line2.push_back(text);
  }
  std::mutex mu_;
  std::vector<std::string> line1;
  std::vector<std::string> line2;
};

class DatabaseWorkTest : public ::testing::Test {
 protected:
  // Runs `body` on a counted thread while this thread hands over every request, as the request
  // executor does; true when it ended.
  bool runWithExecutor(std::function<void()> body) {
    tunora::testing::EnvThread thread(env_, std::move(body));
    const bool ended = tunora::testing::driveUntil(
        env_,
        [&] {
          if (words_.request.load() != 0) (void)lock_.handOver();
          return thread.done();
        },
        std::chrono::milliseconds(100));
    if (!ended) words_.stopping.store(1);
    return ended && thread.join(std::chrono::milliseconds(100));
  }

  FunctionOutcome runFunction(const std::string& library_path, DbFunction function,
                              const DbInputs& inputs, const std::atomic<bool>* abort,
                              const DbRunner& runner = runDbFunction) {
    PathLibrary library(library_path);
    FunctionThreadParts parts{lock_, library, message_flag_, refresh_counter_};
    FunctionOutcome outcome;
    EXPECT_TRUE(runWithExecutor([&] {
      outcome = runFunctionThread(parts, function, inputs, DbValues{}, abort, lines_, runner);
    }));
    EXPECT_FALSE(library.table().isOpen());
    return outcome;
  }

  FakeEnv env_;
  engine::SharedWords words_;
  engine::SharedLock lock_{words_, env_};
  std::atomic<int32_t> message_flag_{0};
  std::atomic<int32_t> refresh_counter_{0};
  RecordedLines lines_;
};

TEST_F(DatabaseWorkTest, InputsOfEachFunctionAndKeypadPicks) {
  const std::pair<DbFunction, DbInputKind> kinds[] = {
      {DbFunction::kSavePlaylist, DbInputKind::kPlaylistFile},
      {DbFunction::kCopyRatings, DbInputKind::kTwoUsers},
      {DbFunction::kUpScore, DbInputKind::kOneUser},
      {DbFunction::kReDefault, DbInputKind::kStartFrom},
      {DbFunction::kRemoveDuplicates, DbInputKind::kNone},
      {DbFunction::kRemoveMissing, DbInputKind::kNone},
      {DbFunction::kReloadTags, DbInputKind::kNone},
      {DbFunction::kUndeleteAll, DbInputKind::kNone},
      {DbFunction::kResetStartPoints, DbInputKind::kNone},
      {DbFunction::kSortByName, DbInputKind::kNone},
      {DbFunction::kSortByArtist, DbInputKind::kNone}};
  for (const auto& [f, kind] : kinds) EXPECT_EQ(inputKindOf(f), kind) << dbFunctionName(f);
  // "Cancel", "0" and "D" refuse; 1..10 are the users.
  for (const auto& [pick, user] :
       {std::pair{std::optional<int>(), 0}, {0, 0}, {13, 0}, {1, 1}, {10, 10}}) {
    EXPECT_EQ(keypadUser(pick), user) << pick.value_or(-1);
  }
  EXPECT_EQ(refusedLine(DbFunction::kCopyRatings, "copying a user's ratings onto the same user"),
            "Copy Ratings refused: copying a user's ratings onto the same user");
}

TEST_F(DatabaseWorkTest, FunctionRunsUnderItsGrantAndEndsWithTheEndSteps) {
  SongLibrary lib;
  const int32_t a = lib.addPath("/m/a.mp3");
  lib.table().writeInt(a, ratingColumn(2), 77);
  lib.table().close();
  words_.build_request.store(5);
  message_flag_.store(1);

  int32_t grant_during_run = 0;
  const DbRunner observed = [&](DbFunction f, marlbase::TableHandle& t, const DbInputs& in,
                                const DbValues& v, const std::atomic<bool>* abort,
                                DbProgress* progress) {
    grant_during_run = words_.grant.load();
    return runDbFunction(f, t, in, v, abort, progress);
  };
  const FunctionOutcome outcome = runFunction(
      lib.path(), DbFunction::kCopyRatings, DbInputs{.user_a = 3, .user_b = 5}, nullptr, observed);
  EXPECT_EQ(outcome.end, FunctionEnd::kRan);
  EXPECT_EQ(grant_during_run, engine::kCodeDatabaseFunction);
  EXPECT_EQ(words_.grant.load(), 0);
  EXPECT_EQ(words_.build_request.load(), engine::kBuildNow);
  EXPECT_EQ(message_flag_.load(), 0);
  EXPECT_EQ(refresh_counter_.load(), 100);
  ASSERT_FALSE(lines_.line1.empty());
  EXPECT_EQ(lines_.line1.front(), "Copy Ratings from 3 to 5");
  EXPECT_EQ(lines_.line1.back(), kFinishedText);
  EXPECT_EQ(lines_.line2.back(), resultLine(DbFunction::kCopyRatings, outcome.result));

  lib.table().setWritable(false);
  ASSERT_TRUE(lib.table().open().ok());
  EXPECT_EQ(lib.number(a, ratingColumn(4)), 77u);
}

TEST_F(DatabaseWorkTest, OfflineUnopenableAndAbortedRuns) {
  SongLibrary lib;
  const int32_t a = lib.addPath("/m/a.mp3");
  lib.table().writeInt(a, kColStartFrame, 40);
  lib.table().close();

  // Offline: nothing asked of the lock, nothing changed.
  words_.build_request.store(1200);
  FunctionOutcome outcome = runFunction(lib.path(), DbFunction::kResetStartPoints, {}, nullptr);
  EXPECT_EQ(outcome.end, FunctionEnd::kOffline);
  EXPECT_EQ(words_.last_released.load(), 0);
  EXPECT_EQ(refresh_counter_.load(), 0);
  EXPECT_TRUE(lines_.line1.empty());
  words_.build_request.store(0);

  // A library that cannot be opened: line 1 keeps the confirmation text; the end steps run.
  outcome = runFunction(lib.dir().file("missing.mbf"), DbFunction::kResetStartPoints, {}, nullptr);
  EXPECT_EQ(outcome.end, FunctionEnd::kNotOpened);
  EXPECT_EQ(lines_.line1.back(), "Reset Start Points");
  EXPECT_EQ(refresh_counter_.load(), 100);
  EXPECT_EQ(words_.grant.load(), 0);

  // The abort flag set: the function stops before the first record.
  std::atomic<bool> abort{true};
  outcome = runFunction(lib.path(), DbFunction::kResetStartPoints, {}, &abort);
  EXPECT_EQ(outcome.end, FunctionEnd::kRan);
  EXPECT_TRUE(outcome.result.aborted);
  EXPECT_EQ(outcome.result.walked, 0);
  lib.table().setWritable(false);
  ASSERT_TRUE(lib.table().open().ok());
  EXPECT_EQ(lib.number(a, kColStartFrame), 40u);
}

TEST_F(DatabaseWorkTest, ImportSourceFromThePathEdit) {
  tunora::testing::TempDir dir;
  const std::string folder = dir.file("music");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  EXPECT_EQ(importSourceOf(folder), folder + "/");
  EXPECT_EQ(importSourceOf(folder + "/"), folder + "/");
  const std::string list = dir.file("list.m3u");
  std::ofstream(list) << "/m/a.mp3\n";
  EXPECT_EQ(importSourceOf(list), list);
  EXPECT_EQ(importSourceOf(dir.file("gone")), dir.file("gone"));
  EXPECT_EQ(importSourceOf(std::string(700, 'x')), std::string(600, 'x'));
  EXPECT_EQ(importSourceOf(""), "");
  EXPECT_EQ(folderSource("/music"), "/music/");
  EXPECT_EQ(folderSource("/music/"), "/music/");
}

// The library at the settings' `DatabasePath`, as the program's library opening finds it.
class SettingsLibrary final : public engine::LibraryAccess {
 public:
  explicit SettingsLibrary(const Settings& settings) : settings_(settings) {}
  void openLibraryForReading() override {
    table_.setPath(settings_.text(settings::kDatabasePath));
    table_.setWritable(false);
    (void)table_.open();
  }
  bool openLibraryForWriting() override { return false; }
  void closeLibraryAfterWriting() override { table_.close(); }
  marlbase::TableHandle& table() override { return table_; }

 private:
  const Settings& settings_;
  marlbase::TableHandle table_;
};

// The status bar counts the program's handle's live records: after "ChangeDB" or "NewDB" the
// handle holds the new library's counts and the status bar is recomposed, not the old library's
// "N entries" left standing. Nothing changed, nothing saved, nothing to refresh.
TEST_F(DatabaseWorkTest, ChangeAndNewDatabase) {
  tunora::testing::TempDir dir;
  Settings settings;
  settings.setText(settings::kDatabasePath, "/old/Tunora.mbf");
  int saves = 0;
  SettingsLibrary library(settings);
  std::vector<int32_t> shown;  // the live count at each status refresh
  DbChangeParts parts{lock_,
                      settings,
                      refresh_counter_,
                      [&] { ++saves; },
                      &library,
                      [&] { shown.push_back(library.table().liveCount()); }};
  auto change = [&](DbChangeKind kind, const std::string& path) {
    DbChangeEnd end = DbChangeEnd::kNotGranted;
    EXPECT_TRUE(runWithExecutor([&] { end = changeDatabase(parts, kind, path); }));
    EXPECT_EQ(words_.grant.load(), 0);
    EXPECT_EQ(words_.last_released.load(), engine::kCodeDatabaseDialog);
    return end;
  };

  // NewDB where no file is: a new song table with its blank record becomes the library.
  const std::string fresh = dir.file("New.mbf");
  words_.build_request.store(7);
  EXPECT_EQ(change(DbChangeKind::kNew, fresh), DbChangeEnd::kCreated);
  EXPECT_EQ(settings.text(settings::kDatabasePath), fresh);
  EXPECT_EQ(words_.build_request.load(), 0);
  EXPECT_EQ(refresh_counter_.load(), 100);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(shown, std::vector<int32_t>{1});
  EXPECT_FALSE(library.table().isOpen());
  {
    marlbase::TableHandle table;
    table.setPath(fresh);
    ASSERT_TRUE(table.open().ok());
    EXPECT_TRUE(hasSongColumns(table));
    EXPECT_EQ(table.liveCount(), 1);
  }

  // NewDB on an existing library never replaces it: it is taken as it is.
  SongLibrary lib;
  lib.addPath("/m/a.mp3");
  lib.table().close();
  settings.setText(settings::kDatabasePath, fresh);
  EXPECT_EQ(change(DbChangeKind::kNew, lib.path()), DbChangeEnd::kChanged);
  EXPECT_EQ(settings.text(settings::kDatabasePath), lib.path());
  lib.table().setWritable(false);
  ASSERT_TRUE(lib.table().open().ok());
  EXPECT_EQ(lib.table().liveCount(), 2);
  lib.table().close();
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 2}));

  // ChangeDB to a file that holds no song table, NewDB where nothing can be created: nothing
  // changes and nothing is saved.
  const std::string text_file = dir.file("notes.mbf");
  std::ofstream(text_file) << "not a table";
  refresh_counter_.store(0);
  words_.build_request.store(7);
  EXPECT_EQ(change(DbChangeKind::kChange, text_file), DbChangeEnd::kNotSongTable);
  EXPECT_EQ(change(DbChangeKind::kNew, dir.file("no/such/folder/New.mbf")),
            DbChangeEnd::kCreateFailed);
  EXPECT_EQ(settings.text(settings::kDatabasePath), lib.path());
  EXPECT_EQ(words_.build_request.load(), 7);
  EXPECT_EQ(refresh_counter_.load(), 0);
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(changeLine2(DbChangeEnd::kNotSongTable, text_file), "Not a song library: " + text_file);
  EXPECT_EQ(changeLine2(DbChangeEnd::kCreated, fresh), fresh);

  // ChangeDB to a library.
  EXPECT_EQ(change(DbChangeKind::kChange, fresh), DbChangeEnd::kChanged);
  EXPECT_EQ(settings.text(settings::kDatabasePath), fresh);
  EXPECT_EQ(words_.build_request.load(), 0);
  EXPECT_EQ(saves, 3);
}

}  // namespace
}  // namespace tunora::maintenance

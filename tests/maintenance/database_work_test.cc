// The Database dialog's work without a window: the inputs each function asks for, the function
// thread's steps around the grant of code 32, the import source from the path edit, and
// "ChangeDB" / "NewDB" under the grant of code 28.
#include "maintenance/database_work.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/lock_codes.h"
#include "network/library_opening.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

// Written by the function thread only, read after it ended.
struct RecordedLines final : DbProgress {
  void setLine1(const std::string& text) override { line1.push_back(text); }
  void setLine2(const std::string& text) override { line2.push_back(text); }
  std::vector<std::string> line1, line2;
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

  FunctionOutcome runFunction(const std::string& path, DbFunction function,
                              const DbInputs& inputs = {}, const DbRunner& runner = runDbFunction) {
    settings_.setText(settings::kDatabasePath, path);
    FunctionThreadParts parts{lock_, library_, message_flag_, refresh_counter_};
    FunctionOutcome outcome;
    EXPECT_TRUE(runWithExecutor([&] {
      outcome = runFunctionThread(parts, function, inputs, DbValues{}, nullptr, lines_, runner);
    }));
    EXPECT_FALSE(table_.isOpen());
    return outcome;
  }

  FakeEnv env_;
  engine::SharedWords words_;
  engine::SharedLock lock_{words_, env_};
  std::atomic<int32_t> message_flag_{0};
  std::atomic<int32_t> refresh_counter_{0};
  RecordedLines lines_;
  Settings settings_;
  marlbase::TableHandle table_;
  network::LibraryOpening library_{table_, settings_};  // the program's, without Network mode
};

// "Cancel", "0" and "D" refuse a user; the path edit names a folder (given its slash) or a list.
TEST_F(DatabaseWorkTest, KeypadPicksAndTheImportSource) {
  for (const auto& [pick, user] : {std::pair{std::optional<int>(), 0}, {0, 0}, {13, 0}, {10, 10}}) {
    EXPECT_EQ(keypadUser(pick), user) << pick.value_or(-1);
  }
  tunora::testing::TempDir dir;
  const std::string folder = dir.file("music"), list = dir.file("list.m3u");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  tunora::testing::writeText(list, "/m/a.mp3\n");
  const std::pair<std::string, std::string> sources[] = {
      {folder, folder + "/"}, {list, list}, {std::string(700, 'x'), std::string(600, 'x')}};
  for (const auto& [edit, source] : sources) EXPECT_EQ(importSourceOf(edit), source) << edit;
}

TEST_F(DatabaseWorkTest, FunctionRunsUnderItsGrantAndEndsWithTheEndSteps) {
  SongLibrary lib;
  const int32_t a = lib.addPath("/m/a.mp3");
  lib.table().writeInt(a, ratingColumn(2), 77);
  lib.table().writeInt(a, kColStartFrame, 40);
  lib.table().close();
  // Offline: nothing asked of the lock, nothing changed.
  words_.build_request.store(1200);
  EXPECT_EQ(runFunction(lib.path(), DbFunction::kResetStartPoints).end, FunctionEnd::kOffline);
  EXPECT_EQ(words_.last_released.load(), 0);
  EXPECT_EQ(refresh_counter_.load(), 0);
  EXPECT_TRUE(lines_.line1.empty());
  words_.build_request.store(0);
  // A library that cannot be opened: line 1 keeps the confirmation text; the end steps run.
  EXPECT_EQ(runFunction(lib.dir().file("missing.mbf"), DbFunction::kResetStartPoints).end,
            FunctionEnd::kNotOpened);
  EXPECT_EQ(lines_.line1.back(), "Reset Start Points");
  EXPECT_EQ(refresh_counter_.load(), 100);
  EXPECT_EQ(words_.grant.load(), 0);

  refresh_counter_.store(0);
  lines_.line1.clear();
  words_.build_request.store(5);
  message_flag_.store(1);
  int32_t grant_during_run = 0;
  const DbRunner observed = [&](DbFunction f, marlbase::TableHandle& t, const DbInputs& in,
                                const DbValues& v, const std::atomic<bool>* abort,
                                DbProgress* progress) {
    grant_during_run = words_.grant.load();
    return runDbFunction(f, t, in, v, abort, progress);
  };
  const FunctionOutcome outcome = runFunction(lib.path(), DbFunction::kCopyRatings,
                                              DbInputs{.user_a = 3, .user_b = 5}, observed);
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
  ASSERT_TRUE(lib.table().open().ok());
  EXPECT_EQ(lib.number(a, ratingColumn(4)), 77u);
  EXPECT_EQ(lib.number(a, kColStartFrame), 40u);
}

// The status bar counts the program's handle's live records: after "ChangeDB" or "NewDB" the
// handle holds the new library's counts and the status bar is recomposed, not the old library's
// "N entries" left standing. Nothing changed, nothing saved, nothing to refresh.
TEST_F(DatabaseWorkTest, ChangeAndNewDatabase) {
  tunora::testing::TempDir dir;
  settings_.setText(settings::kDatabasePath, "/old/Tunora.mbf");
  int saves = 0;
  std::vector<int32_t> shown;  // the live count at each status refresh
  DbChangeParts parts{lock_,
                      settings_,
                      refresh_counter_,
                      [&] { ++saves; },
                      &library_,
                      [&] { shown.push_back(table_.liveCount()); }};
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
  EXPECT_EQ(settings_.text(settings::kDatabasePath), fresh);
  EXPECT_EQ(words_.build_request.load(), 0);
  EXPECT_EQ(refresh_counter_.load(), 100);
  EXPECT_EQ(shown, std::vector<int32_t>{1});
  EXPECT_FALSE(table_.isOpen());
  // NewDB on an existing library never replaces it: it is taken as it is.
  SongLibrary lib;
  lib.addPath("/m/a.mp3");
  lib.table().close();
  EXPECT_EQ(change(DbChangeKind::kNew, lib.path()), DbChangeEnd::kChanged);
  EXPECT_EQ(settings_.text(settings::kDatabasePath), lib.path());
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 2}));
  // ChangeDB to a file that holds no song table, NewDB where nothing can be created: nothing
  // changes and nothing is saved.
  const std::string text_file = dir.file("notes.mbf");
  tunora::testing::writeText(text_file, "not a table");
  refresh_counter_.store(0);
  words_.build_request.store(7);
  EXPECT_EQ(change(DbChangeKind::kChange, text_file), DbChangeEnd::kNotSongTable);
  EXPECT_EQ(change(DbChangeKind::kNew, dir.file("no/such/folder/New.mbf")),
            DbChangeEnd::kCreateFailed);
  EXPECT_EQ(settings_.text(settings::kDatabasePath), lib.path());
  EXPECT_EQ(words_.build_request.load(), 7);
  EXPECT_EQ(refresh_counter_.load(), 0);
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(shown.size(), 2u);
}

}  // namespace
}  // namespace tunora::maintenance

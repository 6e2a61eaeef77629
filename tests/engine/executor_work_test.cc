// The request executor's work: each request's effect on the play list, the song table, the
// player request word and the commands posted to the window.
#include "engine/executor_work.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "tests/engine/work_fixture.h"
#include "tests/support/clock_driver.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_message_dialog.h"

namespace tunora::engine {
namespace {

class FakeWindow final : public testing::RecordingWindow,
                         public ExecutorWindow,
                         public CurrentSong {
 public:
  // ExecutorWindow
  int32_t focusedRow() override { return focus; }
  std::optional<std::string> chooseFile(const std::string& proposed, int32_t filter,
                                        bool save) override {
    file_dialog = {proposed, filter, save};
    return chosen;
  }
  void repaint() override { ++repaints; }
  void scrollToTop() override { ++scrolls_to_top; }
  // CurrentSong
  int32_t currentRecord() override { return record; }
  void setCurrentRecord(int32_t slot) override { record = slot; }
  std::string currentPath() override { return path; }
  void setDisplayedScore(uint32_t score) override { shown_score = score; }
  void setPlayChosenSong() override { play_chosen = true; }

  int32_t focus = -1;
  std::tuple<std::string, int32_t, bool> file_dialog;
  std::optional<std::string> chosen;
  int repaints = 0;
  int scrolls_to_top = 0;
  int32_t record = 0;
  std::string path;
  uint32_t shown_score = 12345;
  bool play_chosen = false;
};

class ExecutorWorkTest : public testing::WorkTest {
 protected:
  void SetUp() override {
    WorkTest::SetUp();
    for (uint32_t r = 0; r < 10; ++r) settings_.set(settings::kRatingValue, r, 1 << r);
    settings_.set(settings::kStateUser, 0, 4);
    work_.registerInto(executor_);
  }
  ExecutorWork makeWork(int32_t fixed_user) {
    return ExecutorWork({lock_, library_, settings_, play_list_, status_, window_, window_, dialog_,
                         window_, fixed_user, [this](int32_t v) { change_counter_ = v; }});
  }
  std::optional<uint32_t> tableInt(int32_t slot, int32_t column) {
    marlbase::TableHandle table;
    table.setPath(library_path_);
    if (!table.open().ok()) return std::nullopt;
    if (column == 0) return static_cast<uint32_t>(table.getStatus(slot));
    return table.readInt(slot, column);
  }

  FakeWindow window_;
  testing::ScriptedMessageDialog dialog_;
  int32_t change_counter_ = 0;
  ExecutorWork work_ = makeWork(999);
};

using Paths = std::vector<std::string>;

TEST_F(ExecutorWorkTest, DoubleClickDropsRowsAboveAndPlays) {
  fillList({1, 2, 3, 4, 5});
  EXPECT_EQ(runRequest(kCodeDropRowsAndPlay, 2), kCodeDropRowsAndPlay);
  EXPECT_EQ(listPaths(), (Paths{"/lib/song3.mp3", "/lib/song4.mp3", "/lib/song5.mp3"}));
  // Stopped: the window is asked to play.
  EXPECT_EQ(window_.posted(), (std::vector<std::pair<int32_t, int32_t>>{{kCommandPlay, 0}}));
  EXPECT_EQ(words_.player_request.load(), 0);
  EXPECT_EQ(words_.grant.load(), 0);
  EXPECT_EQ(window_.scrolls_to_top, 1);  // the clicked song, now row 0, shows
  // Playing: the player is asked for the next song directly. The first row drops nothing.
  words_.playing.store(1);
  runRequest(kCodeDropRowsAndPlay, 0);
  EXPECT_EQ(play_list_.size(), 3);
  EXPECT_EQ(words_.player_request.load(), 1);
  EXPECT_EQ(window_.posted().size(), 1u);
}

TEST_F(ExecutorWorkTest, ClearListAndRemove) {
  fillList({1, 2, 3, 4, 5});
  runRequest(kCodeClearList, 2);
  EXPECT_EQ(play_list_.songsPrepared(), 3);
  EXPECT_EQ(words_.player_request.load(), 0);
  words_.playing.store(1);
  runRequest(kCodeClearListAndSkip, 1);
  EXPECT_EQ(listPaths(), (Paths{"/lib/song4.mp3", "/lib/song5.mp3"}));
  EXPECT_EQ(words_.player_request.load(), 1);

  const int64_t refreshes = status_.refreshCount();
  window_.focus = 1;
  runRequest(kCodeRemoveRow, 0);
  EXPECT_EQ(listPaths(), (Paths{"/lib/song4.mp3"}));
  EXPECT_EQ(status_.refreshCount(), refreshes + 1);
  window_.focus = 5;  // no such row
  runRequest(kCodeRemoveRow, 0);
  EXPECT_EQ(play_list_.size(), 1);
  // A clear of more rows than there are empties the list.
  runRequest(kCodeClearList, 9);
  EXPECT_EQ(play_list_.songsPrepared(), 0);
}

TEST_F(ExecutorWorkTest, PlayNowAndPlayNextNeedTheRowInTheLibrary) {
  fillList({1, 2, 3});
  play_list_.append({"Stranger", "X", "Y", "/elsewhere/x.mp3", "Audio"});
  window_.focus = 2;
  runRequest(kCodePlayRowNow, 0);
  EXPECT_EQ(window_.record, 3);
  EXPECT_TRUE(window_.play_chosen);
  EXPECT_EQ(words_.player_request.load(), 1);
  EXPECT_EQ(play_list_.size(), 4);  // the row stays

  runRequest(kCodeMoveRowToTop, 0);
  EXPECT_EQ(listPaths(),
            (Paths{"/lib/song3.mp3", "/lib/song1.mp3", "/lib/song2.mp3", "/elsewhere/x.mp3"}));
  window_.focus = 0;
  runRequest(kCodeMoveRowToTop, 0);
  EXPECT_EQ(play_list_.row(0), testing::WorkTest::songRow(3));
  EXPECT_EQ(play_list_.songsPrepared(), 4);

  // Not in the library: both do nothing.
  window_.focus = 3;
  window_.play_chosen = false;
  words_.player_request.store(0);
  runRequest(kCodePlayRowNow, 0);
  runRequest(kCodeMoveRowToTop, 0);
  EXPECT_FALSE(window_.play_chosen);
  EXPECT_EQ(words_.player_request.load(), 0);
  EXPECT_EQ(play_list_.row(3)->at(3), "/elsewhere/x.mp3");
}

TEST_F(ExecutorWorkTest, RatingWritesTheUsersScoreOrDeletesAfterAsking) {
  window_.record = 5;
  runRequest(kCodeStoreRating, 7);
  EXPECT_EQ(tableInt(5, ratingColumn(4)), 64u);  // RatingValue[6], for the state's user 4
  EXPECT_EQ(tableInt(5, ratingColumn(3)), 53u);  // other users keep theirs
  EXPECT_EQ(window_.shown_score, 64u);
  EXPECT_EQ(window_.repaints, 1);
  EXPECT_EQ(change_counter_, 100);

  // With no current record number the current path finds it; 0 stores a score of 0.
  window_.record = 0;
  window_.path = "/lib/song6.mp3";
  runRequest(kCodeStoreRating, 0);
  EXPECT_EQ(tableInt(6, ratingColumn(4)), 0u);

  // "D": asked first; "No" keeps the record, "Yes" deletes it.
  dialog_.script({ui::kSecondButton});
  runRequest(kCodeStoreRating, kRateButtonDelete);
  EXPECT_EQ(dialog_.messages(), std::vector<std::string>{kDeleteSongQuestion});
  EXPECT_EQ(tableInt(6, 0), 10u);
  runRequest(kCodeStoreRating, kRateButtonDelete);
  EXPECT_EQ(tableInt(6, 0), 5u);
  EXPECT_EQ(words_.grant.load(), 0);
  EXPECT_FALSE(table_.isOpen());
}

TEST_F(ExecutorWorkTest, FixedUserRatesForItselfAndDeleteScoresZero) {
  ExecutorWork fixed = makeWork(2);
  fixed.registerInto(executor_);
  window_.record = 8;
  runRequest(kCodeStoreRating, 10);
  EXPECT_EQ(tableInt(8, ratingColumn(2)), 512u);
  EXPECT_EQ(tableInt(8, ratingColumn(4)), 84u);
  runRequest(kCodeStoreRating, kRateButtonDelete);
  EXPECT_TRUE(dialog_.requests().empty());
  EXPECT_EQ(tableInt(8, ratingColumn(2)), 0u);
  EXPECT_EQ(tableInt(8, 0), 10u);
  // A library that cannot be opened loses the rating.
  settings_.setText(settings::kDatabasePath, dir_.file("missing.mbf"));
  window_.shown_score = 777;
  runRequest(kCodeStoreRating, 9);
  EXPECT_EQ(window_.shown_score, 777u);
  EXPECT_EQ(window_.repaints, 2);  // the two ratings above
}

}  // namespace
}  // namespace tunora::engine

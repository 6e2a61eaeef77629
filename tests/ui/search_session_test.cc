// The search window's work without a window: the modes, the row texts, the prompt and the "No
// matches found" question, the session over a small library with the program's supervisor
// handing out the grant, and putting a song at the top of the play list.
#include "ui/search_session.h"

#include <gtest/gtest.h>

#include "engine/lock_codes.h"
#include "tests/support/song_library.h"
#include "tests/ui/ui_fixture.h"
#include "ui/put_at_top.h"

namespace tunora::ui {
namespace {

using testing::EnvThread;

// Read after the session's thread has been joined.
class RecordingSink final : public SearchSink {
 public:
  void textConfirmed(const std::string& text) override { events.push_back("text " + text); }
  void showRows(std::vector<maintenance::SearchRow> rows) override {
    events.push_back("rows " + std::to_string(rows.size()));
    titles.clear();
    for (const maintenance::SearchRow& row : rows) titles.push_back(row.title);
  }
  void closeWindow() override { events.push_back("close"); }
  std::vector<std::string> events, titles;
};

class SearchSessionTest : public testing::UiTest {
 protected:
  // Songs 1..12 by "Artist", and song 13 "Lone" by "Other".
  void SetUp() override {
    std::vector<testing::LibrarySong> songs = testing::numberedSongs(12);
    songs.push_back({"/lib/lone.mp3", "Lone", "Other"});
    ASSERT_TRUE(testing::writeLibrary(dir_.file("Tunora.mbf"), songs));
    settings().setText(settings::kDatabasePath, dir_.file("Tunora.mbf"));
    ASSERT_TRUE(program_.startSupervisor());
  }
  SearchParts parts() {
    return SearchParts{program_.lock(), program_.library(), settings(), dialog_, env_};
  }
  // Runs a whole session on a thread of its own, moving the virtual clock until it ends.
  void runSession(SearchMode mode, const std::string& text, RecordingSink& sink) {
    EnvThread session(env_, [&] { runSearchSession(parts(), mode, text, abort_, sink); });
    ASSERT_TRUE(session.join());
  }

  testing::TempDir dir_;
  RecordingSink sink_;
  std::atomic<bool> abort_{false};
};

// The prompt answers with its filled-in text; no match asks "Search again" or "Close"; a
// cancelled prompt closes.
TEST_F(SearchSessionTest, PromptConfirmedFindsThePhraseNoMatchAsksAgainAndCancelCloses) {
  dialog_.script({kFirstButton});
  runSession(SearchMode::kPrompt, "title 1", sink_);
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"text title 1", "rows 4"}));
  EXPECT_EQ(sink_.titles,
            (std::vector<std::string>{"Title 1", "Title 10", "Title 11", "Title 12"}));
  EXPECT_EQ(dialog_.requests().at(0).text, "title 1");

  RecordingSink none;
  dialog_.script({kFirstButton, kFirstButton, kFirstButton, kSecondButton, kSecondButton});
  runSession(SearchMode::kPrompt, "nowhere", none);
  runSession(SearchMode::kPrompt, "x", none);
  EXPECT_EQ(none.events, (std::vector<std::string>{"text nowhere", "rows 0", "text nowhere",
                                                   "rows 0", "close", "close"}));
  const std::vector<std::string> asked = dialog_.messages();
  EXPECT_EQ(std::vector<std::string>(asked.begin() + 1, asked.end()),
            (std::vector<std::string>{maintenance::kSearchPrompt, "No matches found",
                                      maintenance::kSearchPrompt, "No matches found",
                                      maintenance::kSearchPrompt}));
}

TEST_F(SearchSessionTest, WaitsForTheGrantAndStopsWhenAborted) {
  engine::Grant held = program_.lock().takeGrantDirectly(engine::kCodeListBuilder);
  ASSERT_TRUE(held);
  EnvThread session(
      env_, [&] { runSearchSession(parts(), SearchMode::kArtist, "Other", abort_, sink_); });
  ASSERT_TRUE(testing::driveFor(env_, std::chrono::seconds(3)));
  EXPECT_TRUE(sink_.events.empty());
  abort_.store(true);
  ASSERT_TRUE(session.join());
  EXPECT_TRUE(sink_.events.empty());
  EXPECT_NE(words().request.load(), engine::kCodeSearchWindow);
}

// The artist mode asks nothing. A build waiting for its turn is asked to go on; a user who set or
// locked offline mode stays offline through a search (the supervisor's countdown may move a set
// offline mode on meanwhile, by as many ticks as the search took, but never out of it within a
// search).
TEST_F(SearchSessionTest, ASearchAsksAWaitingBuildToGoOnAndLeavesOfflineAlone) {
  const struct {
    int32_t before;
    int32_t lowest_after;
    int32_t highest_after;
  } cases[] = {
      {engine::kBuildIdle, engine::kBuildIdle, engine::kBuildIdle},
      {999, engine::kBuildNow, engine::kBuildNow},
      {engine::kOfflineStart + 200, engine::kOfflineStart + 200, engine::kOfflineLastCount},
      {engine::kOfflineLocked, engine::kOfflineLocked, engine::kOfflineLocked}};
  for (const auto& c : cases) {
    words().build_request.store(c.before);
    RecordingSink sink;
    runSession(SearchMode::kArtist, "Other", sink);
    EXPECT_EQ(sink.titles, std::vector<std::string>{"Lone"}) << c.before;
    EXPECT_TRUE(dialog_.requests().empty()) << "the artist mode asks nothing";
    EXPECT_GE(words().build_request.load(), c.lowest_after) << c.before;
    EXPECT_LE(words().build_request.load(), c.highest_after) << c.before;
  }
  words().build_request.store(engine::kBuildIdle);

  // A library that cannot be opened: an empty list and no question.
  settings().setText(settings::kDatabasePath, dir_.file("missing.mbf"));
  RecordingSink none;
  runSession(SearchMode::kPrompt, "Lone", none);
  EXPECT_EQ(none.events, (std::vector<std::string>{"text Lone", "rows 0"}));
}

TEST_F(SearchSessionTest, PutsALibrarySongOnTopAndSaysHowToPlayIt) {
  player::PlayerState player;
  player.setNext(player::NextSong{"/lib/song1.mp3", {}, true});
  program_.playList().append({"Title 1", "Artist", "Album", "/lib/song1.mp3", "Audio"});
  const PlayListTopParts put{program_.lock(),     program_.library(), settings(),
                             program_.playList(), program_.status(),  player};
  std::atomic<int> added{-1};
  EnvThread first(env_, [&] { added.store(putSongAtTop(put, "/lib/lone.mp3") ? 1 : 0); });
  ASSERT_TRUE(first.join());
  EXPECT_EQ(added.load(), 1);
  ASSERT_EQ(program_.playList().size(), 2);
  EXPECT_EQ(*program_.playList().row(0),
            (engine::PlayListRow{"Lone", "Other", "Album", "/lib/lone.mp3", "Audio"}));
  EXPECT_FALSE(player.next().valid);

  EnvThread second(env_, [&] { added.store(putSongAtTop(put, "/elsewhere/x.mp3") ? 1 : 0); });
  ASSERT_TRUE(second.join());
  EXPECT_EQ(added.load(), 0);
  EXPECT_EQ(program_.playList().size(), 2);

  words().playing.store(1);
  EXPECT_EQ(playAtOnceCommand(words()), engine::kCommandSkip);
}

}  // namespace
}  // namespace tunora::ui

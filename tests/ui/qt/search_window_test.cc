// The search window offscreen over the whole program: the text typed into the prompt is kept
// and searched while the main window goes on handling commands. (What its rows' commands do is
// the executor's test.)
#include "ui/qt/search_window.h"

#include "engine/lock_codes.h"
#include "tests/support/song_library.h"
#include "tests/ui/qt/qt_fixture.h"
#include "ui/command_numbers.h"
#include "ui/search_session.h"

namespace tunora::ui::qt {
namespace {

class SearchWindowTest : public WindowTest {
 protected:
  // Songs 1..12 "Title <i>" by "Artist" ("/lib/song<i>.mp3"), song 13 "Lone" by "Other".
  void SetUp() override {
    std::vector<testing::LibrarySong> songs = testing::numberedSongs(12);
    songs.push_back({"/lib/song13.mp3", "Lone", "Other"});
    ASSERT_TRUE(testing::writeLibrary(libraryPath(), songs));
    startProgram(0, {}, false);
  }
  SearchWindow* search() { return host().searchWindow(); }
  bool rowsShown(int32_t count) {
    return processEventsUntil([&] { return search() != nullptr && search()->rowCount() == count; });
  }
};

TEST_F(SearchWindowTest, SearchesTheTypedTextWhileTheMainWindowHandlesCommands) {
  // Another thread holds the library: the search waits for it.
  engine::Grant held = program().lock().takeGrantDirectly(engine::kCodeListBuilder);
  ASSERT_TRUE(held);
  host().lastSearchText() = "lone";
  dialog_.type({"title"});  // the prompt: "Search" with the text typed over the last one
  window_->runCommand(kCmdSearch, 0);
  ASSERT_NE(search(), nullptr);
  EXPECT_TRUE(search()->workerStarted());

  // The main window's channel is served meanwhile.
  window_->channel().postCommand(kCmdTestFunctions, 0);
  ASSERT_TRUE(processEventsUntil([&] { return program().words().test_functions.load() == 1; }));

  held.release();
  ASSERT_TRUE(rowsShown(12));
  EXPECT_EQ(search()->row(0)->title, "Title 1");
  ASSERT_EQ(dialog_.requests().size(), 1u);
  EXPECT_EQ(dialog_.requests()[0].message, maintenance::kSearchPrompt);
  EXPECT_EQ(dialog_.requests()[0].text, "lone") << "the last text is offered";
  EXPECT_EQ(host().lastSearchText(), "title");

  // Closing it lets a new one open.
  search()->close();
  EXPECT_FALSE(window_->dialogOpen(WindowDialog::kSearch));
  window_->runCommand(kCmdTopSongs, 0);
  ASSERT_NE(search(), nullptr);
  EXPECT_EQ(search()->mode(), SearchMode::kTopSongs);
}

}  // namespace
}  // namespace tunora::ui::qt

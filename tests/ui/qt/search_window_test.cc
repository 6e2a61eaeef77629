// The search window offscreen over the whole program: the text typed into the prompt is kept
// and searched while the main window goes on handling commands; the artist mode; "Play Next"
// and a double-click put the song on top (the double-click plays it); "Details" is modal over
// the search window.
#include "ui/qt/search_window.h"

#include <QAction>
#include <QMenu>
#include <QTableView>

#include "engine/lock_codes.h"
#include "tests/support/song_library.h"
#include "tests/ui/qt/qt_fixture.h"
#include "ui/command_numbers.h"
#include "ui/qt/song_details_dialog.h"
#include "ui/search_session.h"

namespace tunora::ui::qt {
namespace {

QAction* menuItem(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) return action;
  }
  return nullptr;
}

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
  ASSERT_EQ(search()->listView()->model()->columnCount(), 7);

  // The main window's channel is served meanwhile.
  window_->channel().postCommand(kCmdTestFunctions, 0);
  ASSERT_TRUE(processEventsUntil([&] { return program().words().test_functions.load() == 1; }));
  EXPECT_EQ(search()->rowCount(), 0);
  // A second search window is not opened while this one is.
  SearchWindow* first = search();
  window_->runCommand(kCmdTopSongs, 0);
  EXPECT_EQ(search(), first);
  EXPECT_EQ(search()->mode(), SearchMode::kPrompt);

  held.release();
  ASSERT_TRUE(rowsShown(12));
  EXPECT_EQ(search()->row(0)->title, "Title 1");
  EXPECT_EQ(search()->row(0)->index, 1);
  const QAbstractItemModel* model = search()->listView()->model();
  EXPECT_EQ(model->data(model->index(11, 6)).toString(), "12");
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

TEST_F(SearchWindowTest, ArtistModeShowsThatArtistsSongs) {
  player::SongDetails current;
  current.artist = "Other";
  run_->player().state().setCurrent(current);
  window_->runCommand(kCmdArtistOfSong, 0);
  ASSERT_TRUE(rowsShown(1));
  EXPECT_EQ(search()->row(0)->title, "Lone");
  EXPECT_EQ(search()->row(0)->artist, "Other");
  EXPECT_EQ(host().lastSearchText(), "Other");
  EXPECT_TRUE(dialog_.requests().empty());
}

TEST_F(SearchWindowTest, PlayNextPutsTheSongOnTopAndADoubleClickPlaysIt) {
  program().playList().append({"Title 1", "Artist", "Album", "/lib/song1.mp3", "Audio"});
  window_->openSearch(SearchMode::kArtist, "Title 7");
  ASSERT_TRUE(rowsShown(1));
  QTableView* list = search()->listView();
  list->setCurrentIndex(list->model()->index(0, 0));
  search()->showContextMenu(list->viewport()->mapToGlobal(QPoint(5, 5)));
  QMenu* menu = search()->contextMenu();
  ASSERT_NE(menu, nullptr);
  menuItem(menu, "Help")->trigger();
  EXPECT_EQ(dialog_.readMeOpenings(), 1);
  menuItem(menu, "Play Next")->trigger();
  ASSERT_TRUE(processEventsUntil([&] { return program().playList().size() == 2; }));
  EXPECT_EQ(run_->listPaths().front(), "/lib/song7.mp3");
  EXPECT_EQ(program().words().player_request.load(), 0);
  menu->close();

  // Double-click: on top, and with nothing playing the main window's command 1 plays it.
  window_->openSearch(SearchMode::kArtist, "Lone");  // the open window stays
  Q_EMIT list->doubleClicked(list->model()->index(0, 2));
  ASSERT_TRUE(processEventsUntil([&] {
    return program().playList().size() == 3 &&
           program().words().player_request.load() == player::kRequestPlay;
  }));
  EXPECT_EQ((*program().playList().row(0))[0], "Title 7");
}

TEST_F(SearchWindowTest, DetailsIsModalOverTheSearchWindow) {
  window_->openSearch(SearchMode::kArtist, "Other");
  ASSERT_TRUE(rowsShown(1));
  search()->openDetails(0);
  auto* details = search()->findChild<SongDetailsDialog*>();
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(details->windowModality(), Qt::WindowModal);
  EXPECT_TRUE(window_->dialogOpen(WindowDialog::kSongDetails));
  details->reject();
  ASSERT_TRUE(processEventsUntil([&] { return !window_->dialogOpen(WindowDialog::kSongDetails); }));
}

}  // namespace
}  // namespace tunora::ui::qt

// The search window offscreen over a program with a small library, its supervisor handing out
// the grant in virtual time: the window fills while the main window goes on handling commands,
// one window at a time, the artist's songs, "No matches found" closing the window, double-click
// playing the song at once, "Play Next" and "Help" from the context menu.
#include "ui/qt/search_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTableView>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "player/player.h"
#include "tests/media/small_library.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/qt/dialog_test_parts.h"
#include "tests/ui/qt/qt_test_support.h"
#include "ui/command_numbers.h"
#include "ui/qt/cover_picture.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/main_window.h"
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

class SearchWindowTest : public ::testing::Test {
 protected:
  // Songs 1..12 "Title <i>" by "Artist", song 13 "Lone" by "Other".
  SearchWindowTest() {
    path_ = dir_.file("Tunora.mbf");
    std::vector<testing::LibrarySong> songs = testing::numberedSongs(12);
    songs.push_back({"/lib/lone.mp3", "Lone", "Other"});
    EXPECT_TRUE(testing::makeLibrary(path_, songs));
    program_.settings().setText(settings::kDatabasePath, path_);
    window_.emplace(MainWindowParts{program_.lock(), program_.settings(), program_.playList(),
                                    program_.status(), player_, program_.context(),
                                    program_.updateWriter(), program_.updateQueue(), state_,
                                    dialog_, cover_, std::vector<QIcon>{}, QIcon(), nullptr});
    window_->setDialogSources(dialogSourcesOf(program_, env_));
    window_->resize(800, 600);
    window_->show();
    program_.attachWindow(&window_->channel());
    EXPECT_TRUE(program_.startSupervisor());
    clock_.emplace(env_);
  }
  ~SearchWindowTest() override {
    window_->dialogs()->closeAll();
    program_.words().stopping.store(1);
    clock_.reset();
    {
      testing::ClockDriver clock(env_, std::chrono::milliseconds(1000));
      program_.stopThreads();
    }
    program_.attachWindow(nullptr);
    QCoreApplication::processEvents();
    window_.reset();
  }

  DialogHost& host() { return *window_->dialogs(); }
  SearchWindow* search() { return host().searchWindow(); }
  bool rowsShown(int32_t count) {
    return processEventsUntil([&] { return search() != nullptr && search()->rowCount() == count; });
  }
  std::vector<std::string> shownTitles() {
    std::vector<std::string> titles;
    for (int32_t i = 0; i < search()->rowCount(); ++i) titles.push_back(search()->row(i)->title);
    return titles;
  }

  testing::TempDir dir_;
  std::string path_;
  FakeEnv env_;
  Program program_{env_};
  player::PlayerState player_;
  WindowState state_;
  testing::ScriptedMessageDialog dialog_;
  CoverPicture cover_;
  std::optional<MainWindow> window_;
  std::optional<testing::ClockDriver> clock_;
};

TEST_F(SearchWindowTest, FillsWhileTheMainWindowHandlesCommands) {
  // Another thread holds the library: the search waits for it.
  engine::Grant held = program_.lock().takeGrantDirectly(engine::kCodeListBuilder);
  ASSERT_TRUE(held);
  host().lastSearchText() = "title";
  dialog_.script({kFirstButton});  // the prompt: "Search" with the text as filled in
  window_->runCommand(kCmdSearch, 0);
  ASSERT_NE(search(), nullptr);
  EXPECT_TRUE(window_->dialogOpen(WindowDialog::kSearch));
  EXPECT_TRUE(search()->workerStarted());
  EXPECT_EQ(search()->windowTitle(), "Search");
  EXPECT_EQ(search()->geometry().size(), QSize(520, 400));
  ASSERT_EQ(search()->listView()->model()->columnCount(), 7);
  EXPECT_EQ(search()->listView()->model()->headerData(6, Qt::Horizontal).toString(), "Index");
  EXPECT_EQ(search()->listView()->columnWidth(5), 50);

  // The main window's channel is served meanwhile.
  window_->channel().postCommand(kCmdTestFunctions, 0);
  ASSERT_TRUE(processEventsUntil([&] { return program_.words().test_functions.load() == 1; }));
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
  EXPECT_EQ(
      search()->listView()->model()->data(search()->listView()->model()->index(11, 6)).toString(),
      "12");
  EXPECT_EQ(dialog_.messages(), std::vector<std::string>{maintenance::kSearchPrompt});
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
  player_.setCurrent(current);
  window_->runCommand(kCmdArtistOfSong, 0);
  ASSERT_TRUE(rowsShown(1));
  EXPECT_EQ(shownTitles(), std::vector<std::string>{"Lone"});
  EXPECT_EQ(search()->row(0)->artist, "Other");
  EXPECT_EQ(host().lastSearchText(), "Other");
  EXPECT_TRUE(dialog_.requests().empty());
}

TEST_F(SearchWindowTest, NoMatchAsksAndCloseSearchWindowCloses) {
  host().lastSearchText() = "nowhere at all";
  dialog_.script({kFirstButton, kSecondButton});  // "Search", then "Close Search window"
  window_->runCommand(kCmdSearch, 0);
  QPointer<SearchWindow> window = search();
  ASSERT_FALSE(window.isNull());
  ASSERT_TRUE(processEventsUntil([&] { return !window_->dialogOpen(WindowDialog::kSearch); }));
  ASSERT_EQ(dialog_.requests().size(), 2u);
  EXPECT_EQ(dialog_.requests()[1].message, "No matches found");
  EXPECT_EQ(dialog_.requests()[1].first_button, "Search again");
  EXPECT_EQ(dialog_.requests()[1].second_button, "Close Search window");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
}

TEST_F(SearchWindowTest, DoubleClickPlaysTheSongAtOnceAndPlayNextPutsItOnTop) {
  program_.playList().append({"Title 1", "Artist", "Album", "/lib/song1.mp3", "Audio"});
  window_->openSearch(SearchMode::kArtist, "Title 7");
  ASSERT_TRUE(rowsShown(1));
  QTableView* list = search()->listView();
  list->setCurrentIndex(list->model()->index(0, 0));

  // The context menu: "Play Next" puts the song on top without playing it; "Help" the ReadMe.
  search()->showContextMenu(list->viewport()->mapToGlobal(QPoint(5, 5)));
  QMenu* menu = search()->contextMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 3);
  EXPECT_EQ(menu->actions()[0]->text(), "Details");
  ASSERT_NE(menuItem(menu, "Help"), nullptr);
  menuItem(menu, "Help")->trigger();
  EXPECT_EQ(dialog_.readMeOpenings(), 1);
  menuItem(menu, "Play Next")->trigger();
  ASSERT_TRUE(processEventsUntil([&] { return program_.playList().size() == 2; }));
  EXPECT_EQ((*program_.playList().row(0))[3], "/lib/song7.mp3");
  EXPECT_EQ(program_.words().player_request.load(), 0);
  menu->close();

  // Double-click: on top, and with nothing playing the main window's command 1 plays it.
  window_->openSearch(SearchMode::kArtist, "Lone");  // the open window stays
  Q_EMIT list->doubleClicked(list->model()->index(0, 2));
  ASSERT_TRUE(processEventsUntil([&] {
    return program_.playList().size() == 3 &&
           program_.words().player_request.load() == player::kRequestPlay;
  }));
  EXPECT_EQ((*program_.playList().row(0))[0], "Title 7");
}

// "Details" from the search window opens the Song details dialog modal over the search window
// (not over the main window, which stays usable).
TEST_F(SearchWindowTest, DetailsIsModalOverTheSearchWindow) {
  window_->openSearch(SearchMode::kArtist, "Other");
  ASSERT_TRUE(rowsShown(1));
  SearchWindow* from = search();
  from->openDetails(0);
  auto* details = from->findChild<SongDetailsDialog*>();
  ASSERT_NE(details, nullptr);
  EXPECT_EQ(details->parentWidget(), from);
  EXPECT_EQ(details->windowModality(), Qt::WindowModal);
  EXPECT_TRUE(details->isVisible());
  EXPECT_TRUE(window_->dialogOpen(WindowDialog::kSongDetails));
  EXPECT_EQ(window_->findChild<SongDetailsDialog*>(), nullptr);
  details->reject();
  ASSERT_TRUE(processEventsUntil([&] { return !window_->dialogOpen(WindowDialog::kSongDetails); }));
}

}  // namespace
}  // namespace tunora::ui::qt

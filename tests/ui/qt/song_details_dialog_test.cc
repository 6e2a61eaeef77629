// The Song details dialog offscreen over the whole program, opened through the dialog host: it
// shows every field of the record in its control, what the user types into every control is
// stored field by field on "Save" and "Close" and not on "Cancel"; "<" on the first record
// wraps to the last, "Find More" uses the text shared with the search window, offline saving is
// refused, "Delete" and "Play". The dialog's workers get grant 36 from the lock's handover
// while virtual time moves; the player thread does not run.
#include "ui/qt/song_details_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/support/stored_fields.h"
#include "tests/ui/qt/qt_fixture.h"

namespace tunora::ui::qt {
namespace {

struct Song {
  std::string title;
  std::string artist;
  uint32_t score = 0;  // user 0's
  uint32_t start = 0;
};

class SongDetailsDialogTest : public WindowTest {
 protected:
  // Slot 0 is the blank record; songs "One", "Two", "Three" in slots 1..3. Rating n's threshold
  // is 2^(n-1).
  void SetUp() override {
    marlbase::TableHandle table;
    ASSERT_TRUE(createSongTable(table, libraryPath()));
    const std::vector<Song> songs = {
        {"One", "Artist A", 600, 0}, {"Two", "Artist B", 3, 540}, {"Three", "C", 0, 0}};
    for (size_t i = 0; i < songs.size(); ++i) {
      const int32_t slot = table.allocate();
      ASSERT_TRUE(table.writeText(slot, kColFileName, "/music/" + std::to_string(i) + ".mp3"));
      ASSERT_TRUE(table.writeText(slot, kColTitle, songs[i].title));
      ASSERT_TRUE(table.writeText(slot, kColArtist, songs[i].artist));
      ASSERT_TRUE(table.writeInt(slot, ratingColumn(0), songs[i].score));
      ASSERT_TRUE(table.writeInt(slot, kColStartFrame, songs[i].start));
      ASSERT_TRUE(table.writeInt(slot, kColFileId, 100 + static_cast<uint32_t>(i)));
    }
    table.close();
    startProgram(
        0,
        [](Settings& s) {
          for (uint32_t k = 0; k < 10; ++k) s.set(settings::kRatingValue, k, 1 << k);
        },
        false);
  }
  std::string storedText(int32_t slot, int32_t column) {
    return testing::storedText(libraryPath(), slot, column);
  }
  uint32_t storedNumber(int32_t slot, int32_t column) {
    return testing::storedNumber(libraryPath(), slot, column);
  }
  // The open dialog, else one that closed and is not yet deleted.
  SongDetailsDialog* dialog() {
    SongDetailsDialog* any = nullptr;
    for (SongDetailsDialog* d : window_->findChildren<SongDetailsDialog*>()) {
      if (d->workState() != 0) return d;
      any = d;
    }
    return any;
  }
  // Until the dialog waits for the user again (or has closed).
  bool settle() {
    return processEventsUntil([&] {
      SongDetailsDialog* d = dialog();
      return d == nullptr || (!d->busy() && d->workState() <= 3);
    });
  }
  bool open(int32_t record) {
    host().openSongDetails(record);
    return dialog() != nullptr && settle();
  }
  template <typename T = QLineEdit>
  T* control(const QString& name) {
    return child<T>(dialog(), name);
  }
  QString text(const char* name) { return control(name)->text(); }
  void click(const char* name) { control<QPushButton>(name)->click(); }
  bool detailsOpen() { return host().dialogOpen(WindowDialog::kSongDetails); }
};

TEST_F(SongDetailsDialogTest, ShowsEveryFieldAndStoresEveryEditOnSaveAndCloseButNotOnCancel) {
  // Record 2 as stored, down to each field the dialog shows.
  {
    marlbase::TableHandle table;
    table.setPath(libraryPath());
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    ASSERT_TRUE(table.writeText(2, kColAlbum, "Album B"));
    ASSERT_TRUE(table.writeText(2, kColNote, "Note B"));
    ASSERT_TRUE(table.writeInt(2, kColFlags, 2 | kFlagLock));
    ASSERT_TRUE(table.writeInt(2, kColEndFrame, 900));
    ASSERT_TRUE(table.writeInt(2, kColPlayCount, 17));
    for (int32_t u = 0; u < 10; ++u) ASSERT_TRUE(table.writeInt(2, ratingColumn(u), 1u << u));
    table.close();
  }
  ASSERT_TRUE(open(2));
  EXPECT_TRUE(detailsOpen());
  EXPECT_EQ(text("name"), "Two");
  EXPECT_EQ(text("artist"), "Artist B");
  EXPECT_EQ(text("album"), "Album B");
  EXPECT_EQ(text("comment"), "Note B");
  EXPECT_EQ(text("fileName"), "/music/1.mp3");
  EXPECT_EQ(text("fileSize"), "0");  // no such file
  EXPECT_EQ(text("playCount"), "17");
  EXPECT_EQ(text("fileId"), "101");
  EXPECT_EQ(text("dbIdx"), "3");
  EXPECT_EQ(control<QLabel>("entries")->text(), "4");
  EXPECT_EQ(control<QComboBox>("oScale")->currentIndex(), 2);
  EXPECT_TRUE(control<QCheckBox>("lockName")->isChecked());
  EXPECT_TRUE(control<QCheckBox>("startSet")->isChecked());
  EXPECT_EQ(control<QSpinBox>("start")->value(), 540);
  EXPECT_TRUE(control<QCheckBox>("endSet")->isChecked());
  EXPECT_EQ(control<QSpinBox>("end")->value(), 900);
  for (int u = 0; u < 10; ++u) {
    EXPECT_EQ(control<QSpinBox>(QString("rating%1").arg(u + 1))->value(), u + 1) << "user " << u;
  }

  // The user types into every control; "Save" stores each field and leaves the dialog open.
  control("name")->setText("Renamed");
  control("artist")->setText("Other Artist");
  control("album")->setText("Other Album");
  control("comment")->setText("Other note");
  control("fileName")->setText("/music/moved.mp3");
  control<QComboBox>("oScale")->setCurrentIndex(3);
  control<QCheckBox>("lockName")->setChecked(false);
  control<QCheckBox>("startSet")->setChecked(false);
  control<QSpinBox>("end")->setValue(1200);
  for (int u = 0; u < 10; ++u) control<QSpinBox>(QString("rating%1").arg(u + 1))->setValue(10 - u);
  click("save");
  ASSERT_TRUE(settle());
  EXPECT_TRUE(detailsOpen());
  EXPECT_EQ(storedText(2, kColTitle), "Renamed");
  EXPECT_EQ(storedText(2, kColArtist), "Other Artist");
  EXPECT_EQ(storedText(2, kColAlbum), "Other Album");
  EXPECT_EQ(storedText(2, kColNote), "Other note");
  EXPECT_EQ(storedText(2, kColFileName), "/music/moved.mp3");
  EXPECT_EQ(storedNumber(2, kColFlags) & (kFlagNaughtyMask | kFlagLock), 3u);
  EXPECT_EQ(storedNumber(2, kColStartFrame), 0u) << "a start point not set is 0";
  EXPECT_EQ(storedNumber(2, kColEndFrame), 1200u);
  for (int32_t u = 0; u < 10; ++u) {
    EXPECT_EQ(storedNumber(2, ratingColumn(u)), 1u << (9 - u)) << "user " << u;
  }
  EXPECT_EQ(storedNumber(1, ratingColumn(0)), 600u) << "another record untouched";

  // "Cancel" stores nothing; "Close" stores and closes.
  control("artist")->setText("Not kept");
  click("cancel");
  EXPECT_FALSE(detailsOpen());
  ASSERT_TRUE(settle());
  EXPECT_EQ(storedText(2, kColArtist), "Other Artist");
  ASSERT_TRUE(open(1));
  control("comment")->setText("Kept note");
  control<QCheckBox>("lockName")->setChecked(true);
  click("close");
  ASSERT_TRUE(settle());
  EXPECT_FALSE(detailsOpen());
  EXPECT_EQ(storedText(1, kColNote), "Kept note");
  EXPECT_EQ(storedNumber(1, kColFlags) & kFlagLock, kFlagLock);
  EXPECT_EQ(storedNumber(1, ratingColumn(0)), 512u);  // 600 shows as rating 10: its threshold
}

TEST_F(SongDetailsDialogTest, BrowsingWrapsAndFindMoreUsesTheSharedSearchText) {
  ASSERT_TRUE(open(0));  // the blank first record
  click("previous");
  ASSERT_TRUE(settle());
  EXPECT_EQ(text("name"), "Three");
  EXPECT_EQ(text("dbIdx"), "4");
  click("next");
  ASSERT_TRUE(settle());
  EXPECT_EQ(text("dbIdx"), "1");
  host().lastSearchText() = "artist";
  for (const char* title : {"One", "Two"}) {
    click("findMore");
    ASSERT_TRUE(settle());
    EXPECT_EQ(text("name"), title);
  }
  // None after it: "No matches found"; its second button closes the dialog.
  dialog_.script({kSecondButton});
  click("findMore");
  ASSERT_TRUE(settle());
  EXPECT_EQ(dialog_.messages().back(), "No matches found");
  EXPECT_FALSE(detailsOpen());
  // Opening again while open shows the new record in the same dialog.
  ASSERT_TRUE(open(1));
  SongDetailsDialog* first = dialog();
  ASSERT_TRUE(open(3));
  EXPECT_EQ(dialog(), first);
  EXPECT_EQ(text("name"), "Three");
}

TEST_F(SongDetailsDialogTest, AButtonPressedWhileAStepRunsGoesNextAndOfflineSavingIsRefused) {
  ASSERT_TRUE(open(1));
  click("next");  // its worker waits for the grant
  ASSERT_TRUE(dialog()->busy());
  click("close");
  ASSERT_TRUE(settle());
  // ">" ran first; "Close" then saved the record it showed and closed.
  EXPECT_FALSE(detailsOpen());
  EXPECT_EQ(storedNumber(2, ratingColumn(0)), 2u);  // 3 down to the threshold of rating 2
  EXPECT_EQ(storedNumber(1, ratingColumn(0)), 600u);

  program().words().build_request.store(engine::kOfflineStart);
  ASSERT_TRUE(open(1));
  control("name")->setText("Offline");
  click("save");
  ASSERT_TRUE(settle());
  EXPECT_EQ(dialog_.messages().back(), "Database is currently Offline.");
  EXPECT_EQ(storedText(1, kColTitle), "One");
  EXPECT_TRUE(detailsOpen());
}

TEST_F(SongDetailsDialogTest, DeleteAndPlay) {
  ASSERT_TRUE(open(3));
  dialog_.script({kSecondButton});  // "No, don't delete"
  click("delete");
  ASSERT_TRUE(settle());
  EXPECT_EQ(dialog_.messages().back(), "This will delete the song and it cannot be undone.");
  EXPECT_EQ(storedText(3, kColTitle), "Three");
  click("delete");  // "Sure, delete please"; the file is missing and stays so
  ASSERT_TRUE(settle());
  EXPECT_EQ(text("name"), "Two");  // the record before it
  EXPECT_EQ(control<QLabel>("entries")->text(), "3");
  marlbase::TableHandle table;
  table.setPath(libraryPath());
  ASSERT_TRUE(table.open().ok());
  EXPECT_EQ(table.peekStatus(3).value_or(-1), 5);
  table.close();
  // "Play": the shown song goes to the top of the play list and the window asks the player to
  // play it (nothing played yet).
  click("play");
  ASSERT_TRUE(processEventsUntil(
      [&] { return program().words().player_request.load() == player::kRequestPlay; }));
  EXPECT_EQ(run_->listPaths(), std::vector<std::string>{"/music/1.mp3"});
}

}  // namespace
}  // namespace tunora::ui::qt

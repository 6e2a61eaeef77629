// The Song details dialog offscreen over a small library, opened through the dialog host: it
// shows the record's fields, "Save" and "Close" store edits and "Cancel" does not, "<" on the
// first record wraps to the last, "Find More" uses the text shared with the search window, a
// fixed user saves nothing, offline saving is refused, and opening again shows the new record.
// The dialog's workers get grant 36 from the lock's handover while virtual time moves.
#include "ui/qt/song_details_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "library/song_table.h"
#include "tests/support/fake_env.h"
#include "tests/support/stored_fields.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/qt/dialog_test_parts.h"
#include "tests/ui/qt/qt_test_support.h"
#include "tests/ui/ui_fixture.h"
#include "ui/qt/dialog_host.h"

namespace tunora::ui::qt {
namespace {

using namespace std::chrono_literals;

struct Song {
  std::string title;
  std::string artist;
  uint32_t score = 0;  // user 0's
  uint32_t start = 0;
};

class SongDetailsDialogTest : public ::testing::Test {
 protected:
  SongDetailsDialogTest() {
    EXPECT_TRUE(dir_.ok());
    path_ = dir_.file("Tunora.mbf");
    program_.settings().setText(settings::kDatabasePath, path_);
    for (uint32_t k = 0; k < 10; ++k) program_.settings().set(settings::kRatingValue, k, 1 << k);
    program_.context().data_directory = dir_.folder();
    writeLibrary({{"One", "Artist A", 600, 0}, {"Two", "Artist B", 3, 540}, {"Three", "C", 0, 0}});
    window_.resize(300, 200);
    window_.show();
    host_ = std::make_unique<DialogHost>(
        dialogPartsOf(program_, env_, player_, dialog_, channel_),
        actions_, &window_);
  }
  ~SongDetailsDialogTest() override {
    host_.reset();
    // Workers still asking for a grant give up within their patience of virtual time.
    EXPECT_TRUE(processEventsUntil([&] {
      drive();
      return program_.threads().running() == 0;
    }));
  }

  void writeLibrary(const std::vector<Song>& songs) {
    marlbase::TableHandle table;
    ASSERT_TRUE(createSongTable(table, path_));
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
  }
  std::string storedText(int32_t slot, int32_t column) {
    return tunora::testing::storedText(path_, slot, column);
  }
  uint32_t storedNumber(int32_t slot, int32_t column) {
    return tunora::testing::storedNumber(path_, slot, column);
  }

  // One pass of the program's side: a waiting request gets its grant, and virtual time moves
  // once every counted thread sleeps.
  void drive() {
    (void)program_.lock().handOver();
    (void)env_.advanceWhenIdle(100ms, 20ms);
  }
  // The open dialog, else one that closed and is not yet deleted.
  SongDetailsDialog* dialog() {
    SongDetailsDialog* any = nullptr;
    for (SongDetailsDialog* d : window_.findChildren<SongDetailsDialog*>()) {
      if (d->workState() != 0) return d;
      any = d;
    }
    return any;
  }
  // Until the dialog waits for the user again (or has closed).
  bool settle() {
    return processEventsUntil([&] {
      drive();
      SongDetailsDialog* d = dialog();
      return d == nullptr || (!d->busy() && d->workState() != 4 && d->workState() <= 3);
    });
  }
  bool open(int32_t record) {
    host_->openSongDetails(record);
    return dialog() != nullptr && settle();
  }
  QString text(const char* name) { return dialog()->findChild<QLineEdit*>(name)->text(); }
  void setText(const char* name, const QString& value) {
    dialog()->findChild<QLineEdit*>(name)->setText(value);
  }
  void click(const char* name) { dialog()->findChild<QPushButton*>(name)->click(); }
  bool detailsOpen() const { return host_->dialogOpen(WindowDialog::kSongDetails); }

  FakeEnv env_;
  Program program_{env_};
  tunora::testing::TempDir dir_;
  std::string path_;
  player::PlayerState player_;
  tunora::testing::ScriptedMessageDialog dialog_;
  tunora::testing::RecordingChannel channel_;
  tunora::testing::FakeActions actions_;
  QWidget window_;
  std::unique_ptr<DialogHost> host_;
};

TEST_F(SongDetailsDialogTest, ShowsTheRecordsFieldsWithTheirTooltips) {
  ASSERT_TRUE(open(2));
  SongDetailsDialog* d = dialog();
  EXPECT_TRUE(detailsOpen());
  EXPECT_EQ(d->windowTitle(), "Song Details");
  EXPECT_EQ(text("name"), "Two");
  EXPECT_EQ(text("artist"), "Artist B");
  EXPECT_EQ(text("fileName"), "/music/1.mp3");
  EXPECT_EQ(text("fileSize"), "0");  // no such file
  EXPECT_EQ(text("fileId"), "101");
  EXPECT_EQ(text("dbIdx"), "3");
  EXPECT_EQ(d->findChild<QLabel*>("entries")->text(), "4");
  EXPECT_TRUE(d->findChild<QCheckBox*>("startSet")->isChecked());
  EXPECT_TRUE(d->findChild<QSpinBox*>("start")->isEnabled());
  EXPECT_EQ(d->findChild<QSpinBox*>("start")->value(), 540);
  EXPECT_FALSE(d->findChild<QCheckBox*>("endSet")->isChecked());
  EXPECT_FALSE(d->findChild<QSpinBox*>("end")->isEnabled());
  EXPECT_EQ(d->findChild<QSpinBox*>("rating1")->value(), 2);  // score 3 reaches 2
  EXPECT_EQ(d->findChild<QSpinBox*>("rating1")->maximum(), 10);
  EXPECT_EQ(d->findChild<QSpinBox*>("end")->maximum(), 32767);
  QComboBox* o_scale = d->findChild<QComboBox*>("oScale");
  ASSERT_EQ(o_scale->count(), 4);
  EXPECT_EQ(o_scale->itemText(3), "Really Dirty");
  EXPECT_EQ(o_scale->toolTip(), "Is this a naughty or nice song?");
  EXPECT_EQ(d->findChild<QPushButton*>("previous")->toolTip(),
            "Previous song in database (Does not save data)");
  EXPECT_EQ(d->findChild<QPushButton*>("close")->toolTip(),
            "Save all data for this entry and close window");
  EXPECT_TRUE(d->findChild<QPushButton*>("close")->isDefault());
  EXPECT_EQ(d->findChild<QLineEdit*>("style")->toolTip(),
            "Song Style (To be used in future version for playing by style)");

  if (const char* shots = std::getenv("TUNORA_SHOT_DIR")) {
    d->grab().save(QString(shots) + "/song_details.png");
  }
}

TEST_F(SongDetailsDialogTest, SaveAndCloseStoreEditsAndCancelDoesNot) {
  ASSERT_TRUE(open(1));
  setText("name", "Renamed");
  dialog()->findChild<QSpinBox*>("rating2")->setValue(4);
  click("save");
  ASSERT_TRUE(settle());
  EXPECT_EQ(storedText(1, kColTitle), "Renamed");
  EXPECT_EQ(storedNumber(1, ratingColumn(0)), 512u);  // 600: the threshold of rating 10
  EXPECT_EQ(storedNumber(1, ratingColumn(1)), 8u);
  EXPECT_TRUE(detailsOpen());

  setText("artist", "Not kept");
  click("cancel");
  EXPECT_FALSE(detailsOpen());
  ASSERT_TRUE(settle());
  EXPECT_EQ(storedText(1, kColArtist), "Artist A");

  ASSERT_TRUE(open(1));
  setText("comment", "Kept note");
  click("close");
  ASSERT_TRUE(settle());
  EXPECT_EQ(storedText(1, kColNote), "Kept note");
  EXPECT_FALSE(detailsOpen());
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

  host_->lastSearchText() = "artist";
  click("findMore");
  ASSERT_TRUE(settle());
  EXPECT_EQ(text("name"), "One");
  click("findMore");
  ASSERT_TRUE(settle());
  EXPECT_EQ(text("name"), "Two");
  // None after it: "No matches found"; its second button closes the dialog.
  dialog_.script({ui::kSecondButton});
  click("findMore");
  ASSERT_TRUE(settle());
  EXPECT_EQ(dialog_.messages().back(), "No matches found");
  EXPECT_EQ(dialog_.requests().back().second_button, "Close Song Details window");
  EXPECT_FALSE(detailsOpen());

  // Opening again while open shows the new record in the same dialog.
  ASSERT_TRUE(open(1));
  SongDetailsDialog* first = dialog();
  ASSERT_TRUE(open(3));
  EXPECT_EQ(dialog(), first);
  EXPECT_EQ(text("name"), "Three");
}

TEST_F(SongDetailsDialogTest, AButtonPressedWhileAStepRunsGoesNext) {
  ASSERT_TRUE(open(1));
  click("next");  // its worker waits for the grant
  ASSERT_TRUE(dialog()->busy());
  click("close");
  ASSERT_TRUE(settle());
  // ">" ran first; "Close" then saved the record it showed and closed.
  EXPECT_FALSE(detailsOpen());
  EXPECT_EQ(storedText(2, kColTitle), "Two");
  EXPECT_EQ(storedNumber(2, ratingColumn(0)), 2u);  // 3 down to the threshold of rating 2
  EXPECT_EQ(storedNumber(1, ratingColumn(0)), 600u);
}

TEST_F(SongDetailsDialogTest, AFixedUserSavesNothingAndOfflineSavingIsRefused) {
  program_.context().fixed_user = 2;
  ASSERT_TRUE(open(1));
  setText("name", "Not saved");
  click("close");
  ASSERT_TRUE(settle());
  EXPECT_FALSE(detailsOpen());
  EXPECT_EQ(storedText(1, kColTitle), "One");
  EXPECT_EQ(storedNumber(1, ratingColumn(0)), 600u);

  program_.context().fixed_user = kNoFixedUser;
  program_.words().build_request.store(engine::kOfflineStart);
  ASSERT_TRUE(open(1));
  setText("name", "Offline");
  click("save");
  ASSERT_TRUE(settle());
  EXPECT_EQ(dialog_.messages().back(), "Database is currently Offline.");
  EXPECT_EQ(dialog_.requests().back().second_button, "View ReadMe");
  EXPECT_EQ(storedText(1, kColTitle), "One");
  EXPECT_TRUE(detailsOpen());
}

TEST_F(SongDetailsDialogTest, DeleteAndPlay) {
  ASSERT_TRUE(open(3));
  dialog_.script({ui::kSecondButton});  // "No, don't delete"
  click("delete");
  ASSERT_TRUE(settle());
  EXPECT_EQ(dialog_.messages().back(), "This will delete the song and it cannot be undone.");
  EXPECT_EQ(storedText(3, kColTitle), "Three");
  EXPECT_EQ(text("name"), "Three");

  click("delete");  // "Sure, delete please"; the file is missing and stays so
  ASSERT_TRUE(settle());
  EXPECT_EQ(text("name"), "Two");  // the record before it
  EXPECT_EQ(dialog()->findChild<QLabel*>("entries")->text(), "3");
  marlbase::TableHandle table;
  table.setPath(path_);
  ASSERT_TRUE(table.open().ok());
  EXPECT_EQ(table.peekStatus(3).value_or(-1), 5);
  table.close();

  // "Play": the shown song goes to the top of the play list and plays (nothing played yet).
  click("play");
  ASSERT_TRUE(processEventsUntil([&] {
    drive();
    return !channel_.posted().empty();
  }));
  EXPECT_EQ(channel_.posted(), std::vector<int32_t>{engine::kCommandPlay});
  ASSERT_EQ(program_.playList().size(), 1);
  EXPECT_EQ((*program_.playList().row(0))[0], "Two");
}

}  // namespace
}  // namespace tunora::ui::qt

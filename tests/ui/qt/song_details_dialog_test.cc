// The Song details dialog offscreen over the whole program (the player thread not running): it
// shows every field of the record, stores every edit on "Save" and "Close" but not on "Cancel";
// "Play" plays it.
#include "ui/qt/song_details_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <bit>

#include "library/song_columns.h"
#include "tests/support/song_library.h"
#include "tests/support/stored_fields.h"
#include "tests/ui/qt/qt_fixture.h"

namespace tunora::ui::qt {
namespace {

class SongDetailsDialogTest : public WindowTest {
 protected:
  // Slot 0 is the blank record; songs "One", "Two", "Three" in slots 1..3 ("/music/<slot-1>.mp3",
  // user 0's scores 600, 3, 0). Rating n's threshold is 2^(n-1).
  void SetUp() override {
    ASSERT_TRUE(testing::writeLibrary(
        libraryPath(), {{.path = "/music/0.mp3", .title = "One", .score = 600, .file_id = 100},
                        {.path = "/music/1.mp3", .title = "Two", .score = 3, .file_id = 101},
                        {.path = "/music/2.mp3", .title = "Three", .file_id = 102}}));
    startProgram(
        0,
        [](Settings& s) {
          for (uint32_t k = 0; k < 10; ++k) s.set(settings::kRatingValue, k, 1 << k);
        },
        false);
  }
  void edit(const std::function<void(marlbase::TableHandle&)>& change) {
    marlbase::TableHandle table;
    table.setPath(libraryPath());
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());
    change(table);
  }
  std::string storedText(int32_t slot, int32_t column) {
    return testing::storedText(libraryPath(), slot, column);
  }
  uint32_t storedNumber(int32_t slot, int32_t column) {
    return testing::storedNumber(libraryPath(), slot, column);
  }
  ControlRow textRow(const QString& control, int32_t column, std::string a, std::string b) {
    return {control, [=, this] { return storedText(2, column); },
            [=, this](const std::string& v) { edit([&](auto& t) { t.writeText(2, column, v); }); },
            a, b};
  }
  // A number kept in `mask` of a column.
  ControlRow numberRow(const QString& control, int32_t column, uint32_t mask, std::string a,
                       std::string b) {
    const int shift = std::countr_zero(mask);
    return {control,
            [=, this] { return std::to_string((storedNumber(2, column) & mask) >> shift); },
            [=, this](const std::string& v) {
              const uint32_t rest = storedNumber(2, column) & ~mask;
              edit([&](auto& t) { t.writeInt(2, column, rest | std::stoul(v) << shift); });
            },
            a, b};
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
  std::string shown(const char* name) { return shownValue(child<QWidget>(dialog(), name)); }
  void click(const char* name) { press(dialog(), name); }
  bool detailsOpen() { return host().dialogOpen(WindowDialog::kSongDetails); }
};

TEST_F(SongDetailsDialogTest, ShowsEveryFieldAndStoresEveryEditOnSaveAndCloseButNotOnCancel) {
  std::vector<ControlRow> rows = {
      textRow("name", kColTitle, "Two", "Renamed"),
      textRow("artist", kColArtist, "Artist B", "Other Artist"),
      textRow("album", kColAlbum, "Album B", "Other Album"),
      textRow("comment", kColNote, "Note B", "Other note"),
      textRow("fileName", kColFileName, "/music/1.mp3", "/music/moved.mp3"),
      numberRow("oScale", kColFlags, kFlagNaughtyMask, "2", "3"),
      numberRow("lockName", kColFlags, kFlagLock, "1", "0"),
      numberRow("end", kColEndFrame, ~0u, "900", "1200"),
      // A start point not set is stored as 0.
      {"startSet", [this] { return storedNumber(2, kColStartFrame) ? "1" : "0"; },
       [this](const std::string& v) {
         edit([&](auto& t) { t.writeInt(2, kColStartFrame, v == "1" ? 540 : 0); });
       },
       "1", "0"}};
  // Each user's score shows as its rating: the score 2^(n-1) is rating n.
  for (int32_t u = 0; u < 10; ++u) {
    rows.push_back(
        {QString("rating%1").arg(u + 1),
         [=, this] { return std::to_string(std::bit_width(storedNumber(2, ratingColumn(u)))); },
         [=, this](const std::string& v) {
           edit([&](auto& t) { t.writeInt(2, ratingColumn(u), 1u << (std::stoi(v) - 1)); });
         },
         std::to_string(u + 1), std::to_string(10 - u)});
  }
  storeRows(rows);
  edit([](auto& t) { t.writeInt(2, kColPlayCount, 17); });
  ASSERT_TRUE(open(2) && detailsOpen());
  EXPECT_EQ(shown("start"), "540");
  EXPECT_EQ(shown("endSet"), "1");
  for (const auto& [control, text] :
       {std::pair{"fileSize", "0"}, {"playCount", "17"}, {"fileId", "101"}, {"dbIdx", "3"}}) {
    EXPECT_EQ(shown(control), text) << control;
  }
  EXPECT_EQ(child<QLabel>(dialog(), "entries")->text(), "4");

  // "Save" stores each field and leaves the dialog open.
  expectShownThenEnter(dialog(), rows);
  click("save");
  ASSERT_TRUE(settle());
  EXPECT_TRUE(detailsOpen());
  expectStored(rows);
  EXPECT_EQ(storedNumber(1, ratingColumn(0)), 600u) << "another record untouched";

  // "Cancel" stores nothing; "Close" stores and closes.
  enterValue(child<QWidget>(dialog(), "artist"), "Not kept");
  click("cancel");
  EXPECT_FALSE(detailsOpen());
  ASSERT_TRUE(settle());
  EXPECT_EQ(storedText(2, kColArtist), "Other Artist");
  ASSERT_TRUE(open(1));
  enterValue(child<QWidget>(dialog(), "comment"), "Kept note");
  click("close");
  ASSERT_TRUE(settle());
  EXPECT_FALSE(detailsOpen());
  EXPECT_EQ(storedText(1, kColNote), "Kept note");
  EXPECT_EQ(storedNumber(1, ratingColumn(0)), 512u);  // 600 shows as rating 10: its threshold
}

// "Play": the shown song goes to the top of the play list and the window asks the player to play it
// (nothing played yet).
TEST_F(SongDetailsDialogTest, PlayPutsTheSongOnTop) {
  ASSERT_TRUE(open(3));
  click("play");
  ASSERT_TRUE(processEventsUntil(
      [&] { return program().words().player_request.load() == player::kRequestPlay; }));
  EXPECT_EQ(run_->listPaths(), std::vector<std::string>{"/music/2.mp3"});
}

}  // namespace
}  // namespace tunora::ui::qt

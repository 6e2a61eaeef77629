// The media filler window offscreen over the whole program: it shows the stored filler
// settings in their controls and "Close" stores what the user chose and writes it to
// "dTnFill.dat". (The fill itself and the output folder's guard are the fill engine's tests.)
#include "ui/qt/filler_window.h"

#include <QPushButton>
#include <filesystem>

#include "filler/fill_files.h"
#include "filler/filler_form.h"
#include "settings/filler_layout.h"
#include "settings/filler_settings_file.h"
#include "tests/ui/qt/qt_fixture.h"

namespace tunora::ui::qt {
namespace {

using FillerWindowTest = WindowTest;

TEST_F(FillerWindowTest, ShowsTheStoredSettingsAndCloseStoresAndWritesTheChoices) {
  std::filesystem::create_directories(dir_.file("data"));
  startProgram(0, {}, false);
  Settings& s = settings();
  std::vector<ControlRow> rows = {
      settingRow(s, "fillSize", settings::kFillSizeIndex, "3", "2"),
      settingRow(s, "All", settings::kFillPlayAll, "0", "1"),
      settingRow(s, "naughtyLimit", settings::kFillNaughtyLimit, "2", "1"),
      settingRow(s, "minRating", settings::kFillMinRating, "7", "4"),
      settingRow(s, "user", settings::kFillUser, "5", "6"),
      settingRow(s, "userMode", settings::kFillAltMode, "0", "2"),
      settingRow(s, "Empty Dir", settings::kFillEmptyDir, "1", "0"),
      settingRow(s, "Add Number", settings::kFillAddNumber, "0", "1"),
      settingRow(s, "output", settings::kFillOutputDir, "/media/old", "/media/stick/Music")};
  for (uint32_t i = 0; i < filler::kTypeBoxes; ++i) {  // MP3, AVI, ...: one word each from 4
    rows.push_back(settingRow(s, filler::kTypeBoxCaptions[i], settings::fillerInt(4 + 4 * i),
                              i % 3 == 0 ? "1" : "0", i == 4 ? "0" : "1"));
  }
  storeRows(rows);
  filler::PosixFillFiles files;
  FillerWindow filler({s, program().lock(), program().builder(), program().library(), files,
                       program().threads(), dialog_, env_, nullptr, dir_.folder() + "data/",
                       dir_.folder() + "program/", dir_.folder() + "home"});
  bool closed = false;
  filler.setOnClosed([&closed] { closed = true; });
  filler.show();
  expectShownThenEnter(&filler, rows);
  child<QPushButton>(&filler, "Close")->click();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(filler.isVisible());
  expectStored(rows);
  // The file holds the same choices: read back over the stored values.
  storeRows(rows);
  ASSERT_TRUE(loadFillerSettings(dir_.folder() + "data/", s));
  expectStored(rows);
}

}  // namespace
}  // namespace tunora::ui::qt

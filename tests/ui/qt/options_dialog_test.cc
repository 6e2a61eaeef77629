// The Options and Internals dialogs offscreen over the whole program: each shows every stored
// setting in its control, and what the user types into every control is stored field by field on
// "OK" and not on "Cancel"; a preset stays after "Cancel". (Which state the per-state controls
// belong to is the options form's test.)
#include "ui/qt/options_dialog.h"

#include <QPushButton>

#include "tests/ui/qt/qt_fixture.h"
#include "ui/internals_form.h"
#include "ui/options_form.h"
#include "ui/qt/internals_dialog.h"

namespace tunora::ui::qt {
namespace {

using std::to_string;

class OptionsDialogTest : public WindowTest {
 protected:
  void SetUp() override { startProgram(2, {}, false); }
  OptionsDialog* openOptions() {
    host().openOptionsDialog();
    return window_->findChild<OptionsDialog*>();
  }
  bool optionsGone() {
    return processEventsUntil([&] { return window_->findChild<OptionsDialog*>() == nullptr; });
  }
};

TEST_F(OptionsDialogTest, ShowsEveryStoredValueAndStoresEveryEditOnOkButNotOnCancel) {
  Settings& s = settings();
  s.set(settings::kCurrentState, 2);
  s.set(settings::kPlayAll, 0);
  std::vector<ControlRow> rows = {
      settingRow(s, "prepare", settings::kListSize, "77", "55"),
      settingRow(s, "naughtyLimit", settings::kStateNaughtyLimit, 2, "3", "1"),
      settingRow(s, "minRating", settings::kStateMinRating, 2, "6", "9"),
      settingRow(s, "History", settings::kStateHistory, 2, "0", "1"),
      settingRow(s, "No Art Rep", settings::kStateNoArtRep, 2, "1", "0")};
  for (uint32_t u = 0; u < settings::kUsers; ++u) {
    rows.push_back(settingRow(s, "userName" + QString::number(u + 1), settings::kUserName, u,
                              "User " + to_string(u), "New " + to_string(u)));
  }
  for (uint32_t m = 1; m <= kAltModesShown; ++m) {
    const QString n = QString::number(m);
    rows.push_back(settingRow(s, "altName" + n, settings::kAltName, m, "Alt " + to_string(m),
                              "Mode " + to_string(m)));
    rows.push_back(settingRow(s, "altPattern" + n, settings::kAltPattern, m - 1, to_string(m * 11),
                              to_string(m * 13)));
  }
  for (size_t i = 0; i < kFileTypeOptions.size(); ++i) {
    rows.push_back(settingRow(s, kFileTypeOptions[i].label, kFileTypeOptions[i].field,
                              i % 2 ? "1" : "0", i % 2 ? "0" : "1"));
  }
  // "Network" stays on ("Buffer" is stored only with it), "Buffer" off (no buffer is set up).
  for (size_t i = 0; i < kMiscOptions.size(); ++i) {
    const bool fixed = i == kNetworkBox || i == kBufferBox;
    const std::string a = i == kNetworkBox || (!fixed && i % 3 == 0) ? "1" : "0";
    rows.push_back(settingRow(s, kMiscOptions[i].label, kMiscOptions[i].field, a,
                              fixed ? a : (a == "1" ? "0" : "1")));
  }
  storeRows(rows);

  const Settings before = s;
  for (const char* button : {"Cancel", "OK"}) {
    OptionsDialog* d = openOptions();
    ASSERT_TRUE(d != nullptr && host().dialogOpen(WindowDialog::kOptions));
    EXPECT_EQ(shownValue(child<QWidget>(d, "state")), "2");
    expectShownThenEnter(d, rows);
    press(d, button);
    EXPECT_TRUE(optionsGone());
    EXPECT_TRUE(button[0] == 'O' || s == before) << "Cancel stores nothing";
  }
  expectStored(rows);
  EXPECT_EQ(s.get(settings::kStateMinRating, 0), before.get(settings::kStateMinRating, 0));
  EXPECT_EQ(bool(window_->windowFlags() & Qt::WindowStaysOnTopHint), s.get(settings::kOnTop) != 0);
}

TEST_F(OptionsDialogTest, InternalsShowsAndStoresEveryFieldAndKeepsAPresetAfterCancel) {
  Settings& s = settings();
  std::vector<ControlRow> rows = {
      settingRow(s, "targetValue", settings::kTargetValue, "1500", "2500"),
      settingRow(s, "defaultImport", settings::kDefaultImport, "24", "40"),
      settingRow(s, "bufferSize", settings::kBufferSize, "120", "60"),
      settingRow(s, "arSpeed", settings::kArSpeed, "0", "2"),
      settingRow(s, "LAME check", settings::kLameCheck, "1", "0")};
  for (uint32_t i = 0; i < 10; ++i) {
    rows.push_back(settingRow(s, "ratingValue" + QString::number(i + 1), settings::kRatingValue, i,
                              to_string(100 + i), to_string(200 + i)));
  }
  storeRows(rows);
  s.set(settings::kBuildTime, 700);
  program().words().last_released.store(34);
  InternalsDialog* d = openInternalsDialog(host(), &*window_);
  EXPECT_EQ(d->shownTexts()[0], "700");
  EXPECT_EQ(d->shownTexts()[4], "0, 0, 34");
  expectShownThenEnter(d, rows);
  press(d, "OK");
  expectStored(rows);

  // "Cancel" stores no edit, but a preset stays in effect.
  d = openInternalsDialog(host(), &*window_);
  enterValue(child<QWidget>(d, "bufferSize"), "90");
  press(d, "Alternate");
  EXPECT_EQ(shownValue(child<QWidget>(d, "ratingValue2")), "4");
  press(d, "Cancel");
  EXPECT_EQ(s.get(settings::kRatingValue, 1), 4);
  EXPECT_EQ(s.get(settings::kTargetValue), 2000);
  EXPECT_EQ(s.get(settings::kBufferSize), 60);
}

}  // namespace
}  // namespace tunora::ui::qt

// The Options, Internals and welcome dialogs offscreen over the whole program: each shows every
// stored setting in its control, and what the user types into every control is stored field by
// field on "OK" and not on "Cancel"; the "State" combo switches the state and shows the new
// state's controls; a preset stays after "Cancel"; the welcome dialog's two buttons.
#include "ui/qt/options_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "engine/lock_codes.h"
#include "tests/ui/qt/qt_fixture.h"
#include "ui/internals_form.h"
#include "ui/options_form.h"
#include "ui/qt/internals_dialog.h"
#include "ui/qt/welcome_dialog.h"

namespace tunora::ui::qt {
namespace {

QString number(int n) { return QString::number(n); }

class OptionsDialogTest : public WindowTest {
 protected:
  void SetUp() override { startProgram(2, {}, false); }
  OptionsDialog* openOptions() {
    host().openOptionsDialog();
    return window_->findChild<OptionsDialog*>();
  }
  QLineEdit* edit(QWidget* d, const QString& name) { return child<QLineEdit>(d, name); }
  QComboBox* combo(QWidget* d, const char* name) { return child<QComboBox>(d, name); }
  QCheckBox* box(QWidget* d, const char* label) { return child<QCheckBox>(d, label); }
  void press(QWidget* d, const char* label) { child<QPushButton>(d, label)->click(); }
  bool optionsGone() {
    return processEventsUntil([&] { return window_->findChild<OptionsDialog*>() == nullptr; });
  }
};

// One pattern of values for every field of the Options dialog, `flip` choosing one of two
// patterns that differ in every field.
struct OptionsValues {
  bool flip;
  std::string user(uint32_t u) const { return (flip ? "New " : "User ") + std::to_string(u); }
  std::string altName(uint32_t m) const { return (flip ? "Mode " : "Alt ") + std::to_string(m); }
  std::string altPattern(uint32_t m) const { return std::to_string(m * (flip ? 13 : 11)); }
  bool type(size_t i) const { return (i % 2 == 0) != flip; }
  // "Network" stays on ("Buffer" is stored only with it), "Buffer" off (no buffer is set up).
  bool misc(size_t i) const {
    return i == kNetworkBox || (i != kBufferBox && (i % 3 == 0) != flip);
  }
  int32_t listSize() const { return flip ? 55 : 77; }
  int32_t naughty() const { return flip ? 1 : 3; }
  int32_t minRating() const { return flip ? 9 : 6; }
  bool history() const { return flip; }
  bool noArtRep() const { return !flip; }
};

TEST_F(OptionsDialogTest, ShowsEveryStoredValueAndStoresEveryEditOnOkButNotOnCancel) {
  const OptionsValues stored{false}, typed{true};
  Settings& s = settings();
  for (uint32_t u = 0; u < settings::kUsers; ++u) s.setText(settings::kUserName, u, stored.user(u));
  for (uint32_t m = 1; m <= kAltModesShown; ++m) {
    s.setText(settings::kAltName, m, stored.altName(m));
    s.setText(settings::kAltPattern, m - 1, stored.altPattern(m));
  }
  s.set(settings::kPlayAll, 0);
  for (size_t i = 0; i < kFileTypeOptions.size(); ++i) {
    s.set(kFileTypeOptions[i].field, stored.type(i) ? 1 : 0);
  }
  for (size_t i = 0; i < kMiscOptions.size(); ++i) s.set(kMiscOptions[i].field, stored.misc(i));
  s.set(settings::kListSize, stored.listSize());
  s.set(settings::kCurrentState, 2);
  s.set(settings::kStateNaughtyLimit, 2, stored.naughty());
  s.set(settings::kStateMinRating, 2, stored.minRating());
  s.set(settings::kStateHistory, 2, stored.history());
  s.set(settings::kStateNoArtRep, 2, stored.noArtRep());

  // Each control shows its stored value.
  OptionsDialog* d = openOptions();
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(host().dialogOpen(WindowDialog::kOptions));
  auto expectShown = [&](const OptionsValues& v) {
    for (uint32_t u = 0; u < settings::kUsers; ++u) {
      EXPECT_EQ(edit(d, "userName" + number(u + 1))->text().toStdString(), v.user(u)) << u;
    }
    for (uint32_t m = 1; m <= kAltModesShown; ++m) {
      EXPECT_EQ(edit(d, "altName" + number(m))->text().toStdString(), v.altName(m)) << m;
      EXPECT_EQ(edit(d, "altPattern" + number(m))->text().toStdString(), v.altPattern(m)) << m;
    }
    for (size_t i = 0; i < kFileTypeOptions.size(); ++i) {
      EXPECT_EQ(box(d, kFileTypeOptions[i].label)->isChecked(), v.type(i))
          << kFileTypeOptions[i].label;
    }
    for (size_t i = 0; i < kMiscOptions.size(); ++i) {
      EXPECT_EQ(box(d, kMiscOptions[i].label)->isChecked(), v.misc(i)) << kMiscOptions[i].label;
    }
    EXPECT_EQ(edit(d, "prepare")->text(), number(v.listSize()));
    EXPECT_EQ(combo(d, "naughtyLimit")->currentIndex(), v.naughty());
    EXPECT_EQ(combo(d, "minRating")->currentIndex(), v.minRating());
    EXPECT_EQ(box(d, "History")->isChecked(), v.history());
    EXPECT_EQ(box(d, "No Art Rep")->isChecked(), v.noArtRep());
  };
  expectShown(stored);
  EXPECT_EQ(combo(d, "state")->currentIndex(), 2);

  // The user types the other pattern into every control.
  auto type = [&](const OptionsValues& v) {
    for (uint32_t u = 0; u < settings::kUsers; ++u) {
      edit(d, "userName" + number(u + 1))->setText(QString::fromStdString(v.user(u)));
    }
    for (uint32_t m = 1; m <= kAltModesShown; ++m) {
      edit(d, "altName" + number(m))->setText(QString::fromStdString(v.altName(m)));
      edit(d, "altPattern" + number(m))->setText(QString::fromStdString(v.altPattern(m)));
    }
    for (size_t i = 0; i < kFileTypeOptions.size(); ++i) {
      box(d, kFileTypeOptions[i].label)->setChecked(v.type(i));
    }
    for (size_t i = 0; i < kMiscOptions.size(); ++i)
      box(d, kMiscOptions[i].label)->setChecked(v.misc(i));
    edit(d, "prepare")->setText(number(v.listSize()));
    combo(d, "naughtyLimit")->setCurrentIndex(v.naughty());
    combo(d, "minRating")->setCurrentIndex(v.minRating());
    box(d, "History")->setChecked(v.history());
    box(d, "No Art Rep")->setChecked(v.noArtRep());
  };
  // "Cancel": nothing stored.
  const Settings before = s;
  type(typed);
  press(d, "Cancel");
  EXPECT_TRUE(optionsGone());
  EXPECT_TRUE(s == before);

  // "OK": every field stored where it belongs.
  d = openOptions();
  ASSERT_NE(d, nullptr);
  expectShown(stored);
  type(typed);
  press(d, "OK");
  EXPECT_TRUE(optionsGone());
  for (uint32_t u = 0; u < settings::kUsers; ++u) {
    EXPECT_EQ(s.text(settings::kUserName, u), typed.user(u)) << "user " << u;
  }
  for (uint32_t m = 1; m <= kAltModesShown; ++m) {
    EXPECT_EQ(s.text(settings::kAltName, m), typed.altName(m)) << "alt mode " << m;
    EXPECT_EQ(s.text(settings::kAltPattern, m - 1), typed.altPattern(m)) << "alt mode " << m;
  }
  for (size_t i = 0; i < kFileTypeOptions.size(); ++i) {
    EXPECT_EQ(s.get(kFileTypeOptions[i].field), typed.type(i) ? 1 : 0) << kFileTypeOptions[i].label;
  }
  for (size_t i = 0; i < kMiscOptions.size(); ++i) {
    EXPECT_EQ(s.get(kMiscOptions[i].field), typed.misc(i) ? 1 : 0) << kMiscOptions[i].label;
  }
  EXPECT_EQ(s.get(settings::kListSize), typed.listSize());
  EXPECT_EQ(s.get(settings::kStateNaughtyLimit, 2), typed.naughty());
  EXPECT_EQ(s.get(settings::kStateMinRating, 2), typed.minRating());
  EXPECT_EQ(s.get(settings::kStateHistory, 2), typed.history() ? 1 : 0);
  EXPECT_EQ(s.get(settings::kStateNoArtRep, 2), typed.noArtRep() ? 1 : 0);
  EXPECT_EQ(s.get(settings::kStateMinRating, 0), before.get(settings::kStateMinRating, 0));
  EXPECT_EQ(s.get(settings::kCurrentState), 2);
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowStaysOnTopHint) << "On Top applied";

  // Opened again, it shows what was stored.
  d = openOptions();
  ASSERT_NE(d, nullptr);
  expectShown(typed);
}

TEST_F(OptionsDialogTest, TheStateComboSwitchesAndShowsTheNewStatesControls) {
  settings().set(settings::kStateMinRating, 4, 8);
  settings().set(settings::kStateHistory, 4, 1);
  OptionsDialog* d = openOptions();
  ASSERT_NE(d, nullptr);
  combo(d, "minRating")->setCurrentIndex(3);
  box(d, "History")->setChecked(false);
  QComboBox* state = combo(d, "state");
  state->setCurrentIndex(4);
  Q_EMIT state->activated(4);
  ASSERT_TRUE(processEventsUntil([&] { return combo(d, "minRating")->currentIndex() == 8; }));
  EXPECT_EQ(settings().get(settings::kCurrentState), 4);
  // The old state kept what the dialog showed for it; "OK" stores into the new state.
  EXPECT_EQ(settings().get(settings::kStateMinRating, 0), 3);
  EXPECT_EQ(settings().get(settings::kStateHistory, 0), 0);
  EXPECT_TRUE(box(d, "History")->isChecked());
  combo(d, "minRating")->setCurrentIndex(9);
  press(d, "OK");
  EXPECT_EQ(settings().get(settings::kStateMinRating, 4), 9);
  EXPECT_EQ(settings().get(settings::kStateMinRating, 0), 3);
}

TEST_F(OptionsDialogTest, InternalsShowsAndStoresEveryFieldAndKeepsAPresetAfterCancel) {
  Settings& s = settings();
  for (uint32_t i = 0; i < 10; ++i) s.set(settings::kRatingValue, i, 100 + static_cast<int32_t>(i));
  s.set(settings::kTargetValue, 1500);
  s.set(settings::kDefaultImport, 24);
  s.set(settings::kBufferSize, 120);
  s.set(settings::kArSpeed, 0);
  s.set(settings::kLameCheck, 1);
  s.set(settings::kBuildTime, 700);
  program().words().last_released.store(34);
  InternalsDialog* d = openInternalsDialog(host(), &*window_);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(edit(d, "ratingValue" + number(i + 1))->text(), number(100 + i)) << i;
  }
  EXPECT_EQ(edit(d, "targetValue")->text(), "1500");
  EXPECT_EQ(edit(d, "defaultImport")->text(), "24");
  EXPECT_EQ(edit(d, "bufferSize")->text(), "120");
  EXPECT_EQ(combo(d, "arSpeed")->currentIndex(), 0);
  EXPECT_TRUE(box(d, "LAME check")->isChecked());
  const auto shown = d->shownTexts();
  EXPECT_EQ(shown[0], "700");
  EXPECT_EQ(shown[4], "0, 0, 34");

  for (int i = 0; i < 10; ++i) edit(d, "ratingValue" + number(i + 1))->setText(number(200 + i));
  edit(d, "targetValue")->setText("2500");
  edit(d, "defaultImport")->setText("40");
  edit(d, "bufferSize")->setText("60");
  combo(d, "arSpeed")->setCurrentIndex(2);
  box(d, "LAME check")->setChecked(false);
  press(d, "OK");
  for (uint32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(s.get(settings::kRatingValue, i), 200 + static_cast<int32_t>(i)) << "rating " << i;
  }
  EXPECT_EQ(s.get(settings::kTargetValue), 2500);
  EXPECT_EQ(s.get(settings::kDefaultImport), 40);
  EXPECT_EQ(s.get(settings::kBufferSize), 60);
  EXPECT_EQ(s.get(settings::kArSpeed), 2);
  EXPECT_EQ(s.get(settings::kLameCheck), 0);

  // "Cancel" stores no edit, but a preset stays in effect.
  d = openInternalsDialog(host(), &*window_);
  edit(d, "bufferSize")->setText("90");
  press(d, "Alternate");
  EXPECT_EQ(edit(d, "ratingValue2")->text(), "4");
  press(d, "Cancel");
  EXPECT_EQ(s.get(settings::kRatingValue, 1), 4);
  EXPECT_EQ(s.get(settings::kTargetValue), 2000);
  EXPECT_EQ(s.get(settings::kBufferSize), 60);
}

// Clicks a button of the modal welcome dialog once it shows.
void clickWelcomeButton(const QString& text) {
  QTimer::singleShot(0, [text] {
    auto* window = qobject_cast<WelcomeWindow*>(QApplication::activeModalWidget());
    if (window == nullptr) return;
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
      if (b->text() == text) b->click();
    }
  });
}

TEST(WelcomeDialogTest, ImportNowBecomesRequestThirteenAndTheOtherButtonOnlyCloses) {
  FakeEnv env;
  engine::SharedWords words;
  engine::SharedLock lock(words, env);
  QtWelcomeDialog later;
  clickWelcomeButton("No, I have other plans");
  later.showWelcome(WelcomeMode::kFirstRun);
  EXPECT_FALSE(later.importChosen());
  later.postImportRequest(lock);
  EXPECT_EQ(words.request.load(), 0);
  QtWelcomeDialog now;
  clickWelcomeButton("Import music now");
  now.showWelcome(WelcomeMode::kUpgrade);
  EXPECT_TRUE(now.importChosen());
  now.postImportRequest(lock);
  EXPECT_EQ(words.request.load(), engine::kCodeOpenDatabaseDialog);
}

}  // namespace
}  // namespace tunora::ui::qt

// The Options, Internals and welcome dialogs offscreen: each opens showing its settings, stores
// them on "OK" and not on "Cancel"; "All" greys the type boxes; "Network" off stores "Buffer"
// off; "Reset" asks first; the presets change the settings at once; the "State" combo switches
// the state and shows the new state's controls; the welcome dialog's two buttons.
#include "ui/qt/options_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <memory>

#include "app/program.h"
#include "engine/lock_codes.h"
#include "settings/settings_defaults.h"
#include "tests/support/clock_driver.h"
#include "tests/support/fake_env.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/qt/dialog_test_parts.h"
#include "tests/ui/qt/qt_test_support.h"
#include "tests/ui/ui_fixture.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/internals_dialog.h"
#include "ui/qt/welcome_dialog.h"

namespace tunora::ui::qt {
namespace {

QPushButton* buttonNamed(QWidget* parent, const QString& text) {
  for (QPushButton* b : parent->findChildren<QPushButton*>()) {
    if (b->text() == text) return b;
  }
  return nullptr;
}
QCheckBox* boxNamed(QWidget* parent, const QString& text) {
  for (QCheckBox* b : parent->findChildren<QCheckBox*>()) {
    if (b->text() == text) return b;
  }
  return nullptr;
}
template <typename W>
W* child(QWidget* parent, const char* name) {
  return parent->findChild<W*>(QString::fromLatin1(name));
}

class OptionsDialogTest : public ::testing::Test {
 protected:
  OptionsDialogTest() {
    resetAll(program_.settings());
    resetRatingValues(program_.settings());
    program_.setDataDirectory(dir_.folder());
    host_ = std::make_unique<DialogHost>(
        dialogPartsOf(program_, env_, player_, dialog_, channel_),
        actions_, &parent_);
    parent_.resize(300, 200);
    parent_.show();
  }
  ~OptionsDialogTest() override {
    host_->closeAll();
    host_.reset();
    program_.stopThreads();
  }

  Settings& settings() { return program_.settings(); }
  OptionsDialog* openOptions() {
    host_->openOptionsDialog();
    return parent_.findChild<OptionsDialog*>();
  }
  bool optionsGone() {
    return processEventsUntil([&] { return parent_.findChild<OptionsDialog*>() == nullptr; });
  }

  testing::TempDir dir_;
  FakeEnv env_;
  Program program_{env_};
  player::PlayerState player_;
  testing::FakeActions actions_;
  testing::ScriptedDialog dialog_;
  testing::RecordingChannel channel_;
  QWidget parent_;
  std::unique_ptr<DialogHost> host_;
};

TEST_F(OptionsDialogTest, ShowsTheSettingsStoresThemOnOkAndNothingOnCancel) {
  settings().setText(settings::kUserName, 2, "Carol");
  settings().set(settings::kListSize, 77);
  settings().set(settings::kCurrentState, 2);
  settings().set(settings::kStateMinRating, 2, 6);
  settings().set(settings::kStateNaughtyLimit, 2, 3);

  OptionsDialog* dialog = openOptions();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(host_->dialogOpen(WindowDialog::kOptions));
  EXPECT_EQ(dialog->windowTitle(), "Tunora Options");
  EXPECT_EQ(child<QLineEdit>(dialog, "userName3")->text(), "Carol");
  EXPECT_EQ(child<QLineEdit>(dialog, "userName3")->toolTip(), "Name for each user");
  EXPECT_EQ(child<QLineEdit>(dialog, "altName9")->text(), "Odd");
  EXPECT_EQ(child<QLineEdit>(dialog, "altPattern9")->text(), "135");
  EXPECT_EQ(child<QLineEdit>(dialog, "prepare")->text(), "77");
  EXPECT_EQ(child<QComboBox>(dialog, "minRating")->currentIndex(), 6);
  EXPECT_EQ(child<QComboBox>(dialog, "naughtyLimit")->currentText(), "Really Dirty");
  EXPECT_EQ(child<QComboBox>(dialog, "state")->currentText(), "Late");
  EXPECT_EQ(child<QComboBox>(dialog, "state")->count(), 10);
  EXPECT_EQ(boxNamed(dialog, "Tray")->toolTip(),
            "Minimise to the System Tray instead of the task-bar");
  EXPECT_TRUE(boxNamed(dialog, "Tray")->isChecked());
  EXPECT_EQ(buttonNamed(dialog, "Open Dir")->toolTip(),
            "Opens the directory where Tunora saves all data");

  // Cancel: nothing stored.
  const Settings before = settings();
  child<QLineEdit>(dialog, "userName3")->setText("Dave");
  child<QLineEdit>(dialog, "prepare")->setText("55");
  boxNamed(dialog, "On Top")->setChecked(true);
  child<QComboBox>(dialog, "minRating")->setCurrentIndex(2);
  buttonNamed(dialog, "Cancel")->click();
  EXPECT_TRUE(optionsGone());
  EXPECT_FALSE(host_->dialogOpen(WindowDialog::kOptions));
  EXPECT_TRUE(settings() == before);
  EXPECT_TRUE(actions_.calls.empty());

  // OK: every field stored, "On Top" applied to the window.
  dialog = openOptions();
  ASSERT_NE(dialog, nullptr);
  child<QLineEdit>(dialog, "userName3")->setText("Dave");
  child<QLineEdit>(dialog, "altName1")->setText("Pair");
  child<QLineEdit>(dialog, "prepare")->setText("55");
  boxNamed(dialog, "On Top")->setChecked(true);
  boxNamed(dialog, "Auto Rate")->setChecked(true);
  child<QComboBox>(dialog, "minRating")->setCurrentIndex(2);
  buttonNamed(dialog, "OK")->click();
  EXPECT_TRUE(optionsGone());
  EXPECT_EQ(settings().text(settings::kUserName, 2), "Dave");
  EXPECT_EQ(settings().text(settings::kAltName, 1), "Pair");
  EXPECT_EQ(settings().get(settings::kListSize), 55);
  EXPECT_EQ(settings().get(settings::kOnTop), 1);
  EXPECT_EQ(settings().get(settings::kAutoRate), 1);
  EXPECT_EQ(settings().get(settings::kStateMinRating, 2), 2);
  EXPECT_EQ(actions_.calls, (std::vector<std::string>{"on top", "repaint"}));
}

TEST_F(OptionsDialogTest, AllGreysTheTypeBoxesAndNetworkOffStoresBufferOff) {
  OptionsDialog* dialog = openOptions();
  ASSERT_NE(dialog, nullptr);
  QCheckBox* all = boxNamed(dialog, "All");
  ASSERT_FALSE(all->isChecked());
  for (const char* type : {"AVI", "MP3", "MPEG", "WAV", "MIDI", "WMA", "WMV", "ASF"}) {
    EXPECT_TRUE(boxNamed(dialog, type)->isEnabled()) << type;
  }
  all->click();
  for (const char* type : {"AVI", "MP3", "MPEG", "WAV", "MIDI", "WMA", "WMV", "ASF"}) {
    EXPECT_FALSE(boxNamed(dialog, type)->isEnabled()) << type;
  }
  EXPECT_EQ(settings().get(settings::kPlayAll), 1);  // at once
  all->click();
  EXPECT_TRUE(boxNamed(dialog, "WMV")->isEnabled());
  EXPECT_EQ(settings().get(settings::kPlayAll), 0);

  boxNamed(dialog, "Network")->setChecked(false);
  boxNamed(dialog, "Buffer")->setChecked(true);
  buttonNamed(dialog, "OK")->click();
  EXPECT_TRUE(optionsGone());
  EXPECT_EQ(settings().get(settings::kBuffer), 0);
  EXPECT_EQ(settings().get(settings::kNetwork), 0);
}

TEST_F(OptionsDialogTest, ResetAsksAndRefillsTheFields) {
  settings().setText(settings::kUserName, 0, "Ann");
  OptionsDialog* dialog = openOptions();
  ASSERT_NE(dialog, nullptr);
  dialog_.answer = kSecondButton;
  buttonNamed(dialog, "Reset")->click();
  EXPECT_EQ(settings().text(settings::kUserName, 0), "Ann");
  EXPECT_EQ(child<QLineEdit>(dialog, "userName1")->text(), "Ann");
  dialog_.answer = kFirstButton;
  buttonNamed(dialog, "Reset")->click();
  ASSERT_EQ(dialog_.shown.size(), 2u);
  EXPECT_EQ(dialog_.shown[1].message, "This will reset all Tunora settings.");
  EXPECT_EQ(dialog_.shown[1].first_button, "Yes, please reset to default");
  EXPECT_EQ(dialog_.shown[1].second_button, "No, cancel this");
  EXPECT_EQ(settings().text(settings::kUserName, 0), "One");
  EXPECT_EQ(child<QLineEdit>(dialog, "userName1")->text(), "One");
  buttonNamed(dialog, "Help")->click();
  EXPECT_EQ(dialog_.readme_opened, 1);
}

TEST_F(OptionsDialogTest, TheStateComboSwitchesAndShowsTheNewStatesControls) {
  settings().set(settings::kStateMinRating, 4, 8);
  settings().set(settings::kStateHistory, 4, 1);
  OptionsDialog* dialog = openOptions();
  ASSERT_NE(dialog, nullptr);
  child<QComboBox>(dialog, "minRating")->setCurrentIndex(3);
  boxNamed(dialog, "History")->setChecked(false);

  // The request executor, as the supervisor runs it, in virtual time.
  std::atomic<bool> stop{false};
  testing::EnvThread executor(env_, [&] {
    while (!stop.load()) {
      (void)program_.executor().run();
      env_.sleepFor(std::chrono::milliseconds(50));
    }
  });
  testing::ClockDriver clock(env_);
  QComboBox* state = child<QComboBox>(dialog, "state");
  state->setCurrentIndex(4);
  Q_EMIT state->activated(4);
  EXPECT_TRUE(processEventsUntil(
      [&] { return child<QComboBox>(dialog, "minRating")->currentIndex() == 8; }));
  stop.store(true);
  EXPECT_TRUE(executor.join());

  EXPECT_EQ(settings().get(settings::kCurrentState), 4);
  // The old state kept what the dialog showed for it.
  EXPECT_EQ(settings().get(settings::kStateMinRating, 0), 3);
  EXPECT_EQ(settings().get(settings::kStateHistory, 0), 0);
  EXPECT_TRUE(boxNamed(dialog, "History")->isChecked());
  // "OK" stores the controls into the new state.
  child<QComboBox>(dialog, "minRating")->setCurrentIndex(9);
  buttonNamed(dialog, "OK")->click();
  EXPECT_EQ(settings().get(settings::kStateMinRating, 4), 9);
  EXPECT_EQ(settings().get(settings::kStateMinRating, 0), 3);
}

TEST_F(OptionsDialogTest, InternalsShowsStoresOnOkAndKeepsPresetsAfterCancel) {
  settings().set(settings::kBuildTime, 700);
  settings().set(settings::kBufferSize, 120);
  settings().set(settings::kLameCheck, 1);
  program_.words().last_released.store(34);
  InternalsDialog* dialog = openInternalsDialog(*host_, &parent_);
  EXPECT_EQ(dialog->windowTitle(), "Tunora Internals");
  EXPECT_EQ(child<QLineEdit>(dialog, "ratingValue10")->text(), "512");
  EXPECT_EQ(child<QLineEdit>(dialog, "targetValue")->text(), "1000");
  EXPECT_EQ(child<QLineEdit>(dialog, "bufferSize")->text(), "120");
  EXPECT_EQ(child<QComboBox>(dialog, "arSpeed")->currentText(), "Normal");
  EXPECT_TRUE(boxNamed(dialog, "LAME check")->isChecked());
  const auto shown = dialog->shownTexts();
  EXPECT_EQ(shown[0], "700");
  EXPECT_EQ(shown[2], "-1");
  EXPECT_EQ(shown[4], "0, 0, 34");
  EXPECT_EQ(shown[5], "50");

  // OK stores the edits.
  child<QLineEdit>(dialog, "ratingValue10")->setText("900");
  child<QComboBox>(dialog, "arSpeed")->setCurrentIndex(2);
  buttonNamed(dialog, "OK")->click();
  EXPECT_EQ(settings().get(settings::kRatingValue, 9), 900);
  EXPECT_EQ(settings().get(settings::kArSpeed), 2);

  // Cancel stores no edit, but a preset stays in effect.
  dialog = openInternalsDialog(*host_, &parent_);
  child<QLineEdit>(dialog, "bufferSize")->setText("60");
  buttonNamed(dialog, "Alternate")->click();
  EXPECT_EQ(child<QLineEdit>(dialog, "ratingValue2")->text(), "4");
  EXPECT_EQ(child<QLineEdit>(dialog, "defaultImport")->text(), "32");
  buttonNamed(dialog, "Cancel")->click();
  EXPECT_EQ(settings().get(settings::kRatingValue, 1), 4);
  EXPECT_EQ(settings().get(settings::kTargetValue), 2000);
  EXPECT_EQ(settings().get(settings::kBufferSize), 120);

  dialog = openInternalsDialog(*host_, &parent_);
  buttonNamed(dialog, "Default")->click();
  EXPECT_EQ(child<QLineEdit>(dialog, "ratingValue10")->text(), "512");
  buttonNamed(dialog, "Cancel")->click();
  EXPECT_EQ(settings().get(settings::kRatingValue, 9), 512);
  EXPECT_EQ(settings().get(settings::kDefaultImport), 16);
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
  {
    WelcomeWindow window;
    EXPECT_EQ(window.windowTitle(), "Welcome to Tunora 1.9");
    bool text_found = false;
    for (QLabel* label : window.findChildren<QLabel*>()) {
      text_found |=
          label->text() == "Tunora is almost ready to deliver music to you the way you like it.";
    }
    EXPECT_TRUE(text_found);
    EXPECT_EQ(buttonNamed(&window, "Import music now")->toolTip(),
              "Importing music now from a directory");
    EXPECT_EQ(buttonNamed(&window, "No, I have other plans")->toolTip(),
              "Importing is necesary for Tunora to work, but it can be done later");
  }
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

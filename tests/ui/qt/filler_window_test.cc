// The media filler window offscreen over a program object: its controls and tooltips, "All" and
// "User Mode" greying, "Fill" disabled while a fill of real files runs and enabled at its end,
// "Stop" between two files, "Close" writing "dTnFill.dat", "Reset", the "Empty Dir" refusal
// and "On Top Toggle".
#include "ui/qt/filler_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>

#include "app/program.h"
#include "filler/fill_files.h"
#include "settings/filler_layout.h"
#include "tests/engine/builder_fixture.h"
#include "tests/support/scripted_message_dialog.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/qt/qt_test_support.h"

namespace tunora::ui::qt {
namespace {

// Virtual time that moves by exactly what is slept; random bytes from a fixed seed.
class SteppingEnv final : public Env {
 public:
  uint64_t nowMillis() override { return now_.load(); }
  void sleepFor(std::chrono::milliseconds d) override {
    now_.fetch_add(static_cast<uint64_t>(d.count()));
  }
  uint64_t fileTimeNow() override { return kFileTimeUnixEpoch; }
  bool randomBytes(std::span<std::byte> out) override {
    std::lock_guard lock(mu_);
    for (auto& b : out) b = static_cast<std::byte>(random_() & 0xff);
    return true;
  }

 private:
  std::atomic<uint64_t> now_{1000};
  std::mutex mu_;
  std::mt19937 random_{7};
};

// Real copies of small songs; every copy in the output folder counts as 10 MB, and the disk is
// endless. Can hold the fill inside one copy until the test lets it go.
class TestFiles final : public filler::FillFiles {
 public:
  explicit TestFiles(std::string output) : output_(std::move(output)) {}
  Status copyFile(const std::string& source, const std::string& target, bool& taken) override {
    Status s = real_.copyFile(source, target, taken);
    if (taken) return s;  // an earlier fill's file of that name: not a copy
    const int n = copies.fetch_add(1) + 1;
    if (n == hold_at) {
      std::unique_lock lock(mu_);
      held.store(true);
      // Bounded: the test lets go at once.
      cv_.wait_for(lock, std::chrono::seconds(60), [this] { return released_; });
    }
    return s;
  }
  std::optional<uint64_t> fileSize(const std::string& path) override {
    if (path.rfind(output_, 0) == 0) return uint64_t{10 * 1024 * 1024};
    return real_.fileSize(path);
  }
  std::optional<filler::SpaceInfo> space(const std::string&) override {
    return filler::SpaceInfo{uint64_t{1} << 50, uint64_t{1} << 50};
  }
  Status syncFile(const std::string&) override { return Status::Ok(); }
  Status syncFolder(const std::string&) override { return Status::Ok(); }
  void removeFile(const std::string& path) override { real_.removeFile(path); }
  void release() {
    std::lock_guard lock(mu_);
    released_ = true;
    cv_.notify_all();
  }

  int hold_at = 0;
  std::atomic<int> copies{0};
  std::atomic<bool> held{false};

 private:
  std::string output_;
  filler::PosixFillFiles real_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool released_ = false;
};

// Notes every title the window shows.
class TitleLog final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowTitleChange) {
      titles.push_back(static_cast<QWidget*>(watched)->windowTitle().toStdString());
    }
    return false;
  }
  std::vector<std::string> titles;
};

class FillerWindowTest : public ::testing::Test {
 protected:
  FillerWindowTest() : files_(dir_.folder() + "out") {
    std::filesystem::create_directories(dir_.file("music"));
    std::filesystem::create_directories(dir_.file("out"));
    std::filesystem::create_directories(dir_.file("data"));
    std::vector<testing::TestSong> songs = testing::plainSongs(30);
    for (auto& song : songs) {
      song.path = dir_.folder() + "music" + song.path.substr(std::strlen("/music"));
      testing::writeText(song.path, "song " + song.path);
    }
    library_ = dir_.file("lib.mbf");
    EXPECT_TRUE(testing::writeSongTable(library_, songs));
    Settings& s = program_.settings();
    s = testing::firstRunSettings();
    s.setText(settings::kDatabasePath, library_);
    s.setText(settings::kFillOutputDir, dir_.folder() + "out");
    program_.setDataDirectory(dir_.folder() + "data/");
    window_ = std::make_unique<FillerWindow>(
        FillerWindowParts{s, program_.lock(), program_.builder(), program_.library(), files_,
                          program_.threads(), dialog_, env_, nullptr, dir_.folder() + "data/",
                          dir_.folder() + "program/", dir_.folder() + "home"});
    window_->installEventFilter(&titles_);
  }
  ~FillerWindowTest() override {
    files_.release();
    window_.reset();
    program_.stopThreads();
  }

  QPushButton* button(const char* text) {
    for (QPushButton* b : window_->findChildren<QPushButton*>()) {
      if (b->text() == text) return b;
    }
    ADD_FAILURE() << "no button " << text;
    return nullptr;
  }
  QCheckBox* box(const char* text) {
    for (QCheckBox* b : window_->findChildren<QCheckBox*>()) {
      if (b->text() == text) return b;
    }
    ADD_FAILURE() << "no box " << text;
    return nullptr;
  }
  QComboBox* combo(const char* name) { return window_->findChild<QComboBox*>(name); }
  int filesIn(const std::string& folder) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      (void)entry;
      ++n;
    }
    return n;
  }

  testing::TempDir dir_;
  SteppingEnv env_;
  Program program_{env_};
  testing::ScriptedMessageDialog dialog_;
  TestFiles files_;
  std::string library_;
  TitleLog titles_;
  std::unique_ptr<FillerWindow> window_;
};

TEST_F(FillerWindowTest, ShowsEveryControlWithItsTooltipAndGreysByTheRules) {
  EXPECT_EQ(window_->windowTitle().toStdString(), "Tunora Media Filler");
  const std::vector<std::pair<const char*, const char*>> buttons = {
      {"Fill", "Fill the directory with songs"},
      {"Close", "Quit and fill another day"},
      {"Reset", "Resets all settings to default"},
      {"Help", ""},
      {"Change", "Change the fill directory"},
      {"Open Output Dir", "Open the selected output directory"}};
  for (const auto& [text, tip] : buttons) {
    ASSERT_NE(button(text), nullptr);
    EXPECT_EQ(button(text)->toolTip().toStdString(), tip) << text;
  }
  EXPECT_FALSE(button("Stop")->isEnabled());
  EXPECT_EQ(box("Empty Dir")->toolTip().toStdString(),
            "Empty the directory of ALL (not just music) files prior to filling");
  EXPECT_EQ(box("Add Number")->toolTip().toStdString(),
            "Adds a number to the start of each filename - useful for players with a bad random "
            "mode");
  EXPECT_EQ(box("All")->toolTip().toStdString(), "Play all supported media files");
  EXPECT_EQ(box("WMA")->toolTip().toStdString(), "Play Windows Media Audio files");
  QStringList sizes;
  for (int i = 0; i < combo("fillSize")->count(); ++i) sizes << combo("fillSize")->itemText(i);
  EXPECT_EQ(sizes.join(",").toStdString(), "128 MB,256 MB,512 MB,1024 MB,2048 MB,4 GB,8 GB,Fill");
  EXPECT_EQ(combo("fillSize")->toolTip().toStdString(),
            "How much space you want filled with songs");
  EXPECT_EQ(combo("user")->toolTip().toStdString(), "Current User");
  EXPECT_EQ(combo("userMode")->toolTip().toStdString(), "Current Alt Mode");
  EXPECT_EQ(combo("userMode")->itemText(9).toStdString(), "Odd");
  EXPECT_EQ(combo("naughtyLimit")->itemText(3).toStdString(), "Really Dirty");
  EXPECT_EQ(combo("minRating")->count(), 11);
  EXPECT_EQ(window_->findChild<QLineEdit*>("output")->toolTip().toStdString(),
            "Directory to fill with songs");
  // The first run's defaults: "4 GB", "Add Number" on.
  EXPECT_EQ(combo("fillSize")->currentIndex(), 5);
  EXPECT_TRUE(box("Add Number")->isChecked());

  const char* kTypes[] = {"MP3", "AVI", "WAV", "MPEG", "MIDI", "WMA", "ASF", "WMV"};
  box("All")->setChecked(true);
  for (const char* type : kTypes) EXPECT_FALSE(box(type)->isEnabled()) << type;
  box("All")->setChecked(false);
  for (const char* type : kTypes) EXPECT_TRUE(box(type)->isEnabled()) << type;
  combo("userMode")->setCurrentIndex(3);
  EXPECT_FALSE(combo("user")->isEnabled());
  combo("userMode")->setCurrentIndex(0);
  EXPECT_TRUE(combo("user")->isEnabled());

  button("Help")->click();
  EXPECT_EQ(dialog_.readMeOpenings(), 1);
  if (const char* shot = std::getenv("TUNORA_FILLER_SHOT")) {
    window_->show();
    window_->grab().save(shot);
  }
}

TEST_F(FillerWindowTest, FillIsDisabledWhileTheFillRunsAndEnabledAtItsEnd) {
  combo("fillSize")->setCurrentIndex(0);  // "128 MB": 122880 units, reached by the 12th file
  button("Fill")->click();
  EXPECT_FALSE(button("Fill")->isEnabled());
  EXPECT_TRUE(button("Stop")->isEnabled());
  ASSERT_TRUE(processEventsUntil([&] { return button("Fill")->isEnabled(); }));
  EXPECT_FALSE(button("Stop")->isEnabled());
  EXPECT_FALSE(window_->filling());
  EXPECT_EQ(files_.copies.load(), 12);
  EXPECT_EQ(filesIn(dir_.folder() + "out"), 12);
  int numbered = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.folder() + "out")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("0", 0) == 0 && name.find(" song") == 3) ++numbered;
  }
  EXPECT_EQ(numbered, 12);
  ASSERT_FALSE(titles_.titles.empty());
  EXPECT_EQ(titles_.titles.front(), "Tunora Deep Building");
  EXPECT_EQ(titles_.titles.back(), "Tunora Media Filler");
  EXPECT_NE(
      std::find_if(titles_.titles.begin(), titles_.titles.end(),
                   [](const std::string& t) { return t.rfind("110MB to go, 000 song", 0) == 0; }),
      titles_.titles.end());
  // A second fill runs as well.
  button("Fill")->click();
  ASSERT_TRUE(processEventsUntil([&] { return button("Fill")->isEnabled(); }));
  EXPECT_EQ(files_.copies.load(), 24);
}

TEST_F(FillerWindowTest, StopEndsTheFillAfterTheFileBeingCopied) {
  combo("fillSize")->setCurrentIndex(7);  // "Fill": no budget
  files_.hold_at = 3;
  button("Fill")->click();
  ASSERT_TRUE(processEventsUntil([&] { return files_.held.load(); }));
  button("Stop")->click();
  files_.release();
  ASSERT_TRUE(processEventsUntil([&] { return button("Fill")->isEnabled(); }));
  EXPECT_EQ(files_.copies.load(), 3);
  EXPECT_EQ(filesIn(dir_.folder() + "out"), 3);
  EXPECT_EQ(window_->windowTitle().toStdString(), "Tunora Media Filler");
}

TEST_F(FillerWindowTest, CloseWritesTheFillerFile) {
  bool closed = false;
  window_->setOnClosed([&closed] { closed = true; });
  window_->show();
  combo("fillSize")->setCurrentIndex(2);
  box("MIDI")->setChecked(false);
  box("All")->setChecked(true);
  combo("naughtyLimit")->setCurrentIndex(1);
  combo("minRating")->setCurrentIndex(4);
  combo("user")->setCurrentIndex(6);
  combo("userMode")->setCurrentIndex(2);
  box("Empty Dir")->setChecked(true);
  box("Add Number")->setChecked(false);
  window_->findChild<QLineEdit*>("output")->setText("/media/stick/Music");
  button("Close")->click();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(window_->isVisible());

  std::vector<uint8_t> expected(1008, 0);
  std::memcpy(expected.data(), "TUNO1401", 8);
  auto put = [&expected](size_t at, uint8_t value) { expected[8 + at] = value; };
  put(0, 2);
  for (size_t at : {4, 8, 12, 16, 24, 28, 32}) put(at, 1);  // MIDI (20) off
  put(36, 1);
  put(40, 1);
  put(44, 4);
  put(48, 6);
  put(52, 2);
  put(56, 1);
  put(60, 0);
  std::memcpy(expected.data() + 8 + 80, "/media/stick/Music", 18);
  EXPECT_EQ(testing::readBytes(dir_.folder() + "data/dTnFill.dat"), expected);
}

TEST_F(FillerWindowTest, ResetAsksAndShowsTheDefaultsKeepingTheFolder) {
  combo("fillSize")->setCurrentIndex(1);
  box("Add Number")->setChecked(false);
  box("All")->setChecked(true);
  window_->findChild<QLineEdit*>("output")->setText("/media/stick");
  dialog_.script({kSecondButton, kFirstButton});
  button("Reset")->click();  // "No, cancel this"
  EXPECT_EQ(combo("fillSize")->currentIndex(), 1);
  button("Reset")->click();  // "Yes, please reset to default"
  ASSERT_EQ(dialog_.requests().size(), 2u);
  const MessageRequest question = dialog_.requests()[0];
  EXPECT_EQ(question.message, "This will reset all the Tunora Media Filler settings.");
  EXPECT_EQ(question.first_button, "Yes, please reset to default");
  EXPECT_EQ(question.second_button, "No, cancel this");
  EXPECT_EQ(combo("fillSize")->currentIndex(), 5);
  EXPECT_TRUE(box("Add Number")->isChecked());
  EXPECT_FALSE(box("All")->isChecked());
  EXPECT_EQ(window_->findChild<QLineEdit*>("output")->text().toStdString(), "/media/stick");
}

TEST_F(FillerWindowTest, ARelativeOrEmptyOutputFolderIsRefused) {
  for (const char* folder : {"", "out"}) {
    window_->findChild<QLineEdit*>("output")->setText(folder);
    button("Fill")->click();
    EXPECT_TRUE(button("Fill")->isEnabled());
  }
  EXPECT_EQ(dialog_.messages(),
            (std::vector<std::string>{"No output folder is given",
                                      "out: the output folder must be a full path (from \"/\")"}));
  EXPECT_EQ(files_.copies.load(), 0);
}

TEST_F(FillerWindowTest, EmptyDirAsksAndRefusesASongFolder) {
  const std::string music = dir_.folder() + "music";
  const int songs = filesIn(music);
  window_->findChild<QLineEdit*>("output")->setText(QString::fromStdString(music));
  box("Empty Dir")->setChecked(true);
  dialog_.script({kSecondButton});
  button("Fill")->click();  // "No": nothing happens
  EXPECT_TRUE(button("Fill")->isEnabled());
  EXPECT_EQ(dialog_.messages(), std::vector<std::string>{"Delete all files in Fill directory?"});
  button("Fill")->click();  // "Yes": the folder holds songs of the library
  ASSERT_TRUE(processEventsUntil([&] { return button("Fill")->isEnabled(); }));
  ASSERT_EQ(dialog_.messages().size(), 3u);
  EXPECT_NE(dialog_.messages()[2].find(music), std::string::npos) << dialog_.messages()[2];
  EXPECT_EQ(filesIn(music), songs);
  EXPECT_EQ(files_.copies.load(), 0);
}

TEST_F(FillerWindowTest, OnTopToggleFlipsTheSettingAndTheWindow) {
  QMenu* menu = window_->buildPopupMenu();
  QAction* toggle = nullptr;
  for (QAction* action : menu->actions()) {
    if (action->text() == "On Top Toggle") toggle = action;
  }
  ASSERT_NE(toggle, nullptr);
  EXPECT_FALSE(toggle->isChecked());
  toggle->trigger();
  EXPECT_EQ(program_.settings().get(settings::kOnTop), 1);
  EXPECT_TRUE(window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  delete menu;
  menu = window_->buildPopupMenu();
  for (QAction* action : menu->actions()) {
    if (action->text() == "On Top Toggle") {
      EXPECT_TRUE(action->isChecked());
    }
  }
  delete menu;
}

}  // namespace
}  // namespace tunora::ui::qt

// The media filler window offscreen over the whole program: it shows the stored filler
// settings in their controls and "Close" writes what the user chose into "dTnFill.dat" byte for
// byte; "Fill" is disabled while a fill of real files runs and enabled at its end, "Stop" ends
// it between two files, "Empty Dir" asks and refuses a song folder, and "On Top Toggle".
#include "ui/qt/filler_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <condition_variable>
#include <cstring>
#include <filesystem>

#include "filler/fill_files.h"
#include "filler/filler_form.h"
#include "settings/filler_layout.h"
#include "tests/ui/qt/qt_fixture.h"

namespace tunora::ui::qt {
namespace {

// Real copies of small songs; every copy in the output folder counts as 10 MB, and the disk is
// endless. Can hold the fill inside one copy until the test lets it go.
class TestFiles final : public filler::FillFiles {
 public:
  explicit TestFiles(std::string output) : output_(std::move(output)) {}
  Status copyFile(const std::string& source, const std::string& target, bool& taken) override {
    Status s = real_.copyFile(source, target, taken);
    if (taken) return s;  // an earlier fill's file of that name: not a copy
    if (copies.fetch_add(1) + 1 == hold_at) {
      std::unique_lock lock(mu_);
      held.store(true);
      cv_.wait_for(lock, std::chrono::seconds(60), [this] { return released_; });  // bounded
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

class FillerWindowTest : public WindowTest {
 protected:
  // 30 songs of the library in "music", the output folder "out".
  void SetUp() override {
    for (const char* folder : {"music", "out", "data"})
      std::filesystem::create_directories(dir_.file(folder));
    std::vector<testing::TestSong> songs = testing::plainSongs(30);
    for (auto& song : songs) {
      song.path = dir_.folder() + "music" + song.path.substr(std::strlen("/music"));
      testing::writeText(song.path, "song " + song.path);
    }
    ASSERT_TRUE(testing::writeSongTable(libraryPath(), songs));
    startProgram(
        0, [&](Settings& s) { s.setText(settings::kFillOutputDir, out_); }, false);
    filler_ = std::make_unique<FillerWindow>(FillerWindowParts{
        settings(), program().lock(), program().builder(), program().library(), files_,
        program().threads(), dialog_, env_, nullptr, dir_.folder() + "data/",
        dir_.folder() + "program/", dir_.folder() + "home"});
    filler_->installEventFilter(&titles_);
  }
  void TearDown() override {
    files_.release();
    if (filler_) {
      EXPECT_TRUE(processEventsUntil([&] { return !filler_->filling(); }));
      filler_.reset();
    }
    WindowTest::TearDown();
  }
  QPushButton* button(const char* text) { return child<QPushButton>(&*filler_, text); }
  QCheckBox* box(const char* text) { return child<QCheckBox>(&*filler_, text); }
  QComboBox* combo(const char* name) { return child<QComboBox>(&*filler_, name); }
  QLineEdit* output() { return child<QLineEdit>(&*filler_, "output"); }
  static int filesIn(const std::string& folder) {
    const auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<int>(std::distance(begin(entries), end(entries)));
  }

  std::string out_ = dir_.folder() + "out";
  TestFiles files_{out_};
  TitleLog titles_;
  std::unique_ptr<FillerWindow> filler_;
};

TEST_F(FillerWindowTest, ShowsTheStoredSettingsAndCloseWritesTheFillerFile) {
  // Stored: each control's value differs from its neighbours'.
  filler::FillerForm stored;
  stored.size_index = 3;
  for (int i = 0; i < filler::kTypeBoxes; ++i) stored.types[static_cast<size_t>(i)] = i % 3 == 0;
  stored.all = false;
  stored.naughty_limit = 2;
  stored.min_rating = 7;
  stored.user = 5;
  stored.alt_mode = 0;
  stored.empty_dir = true;
  stored.add_number = false;
  stored.output_dir = "/media/old";
  filler::storeFillerForm(stored, settings());
  filler_ = std::make_unique<FillerWindow>(FillerWindowParts{
      settings(), program().lock(), program().builder(), program().library(), files_,
      program().threads(), dialog_, env_, nullptr, dir_.folder() + "data/",
      dir_.folder() + "program/", dir_.folder() + "home"});
  EXPECT_EQ(combo("fillSize")->currentIndex(), 3);
  for (int i = 0; i < filler::kTypeBoxes; ++i) {
    EXPECT_EQ(box(filler::kTypeBoxCaptions[i])->isChecked(), i % 3 == 0)
        << filler::kTypeBoxCaptions[i];
  }
  EXPECT_FALSE(box("All")->isChecked());
  EXPECT_EQ(combo("naughtyLimit")->currentIndex(), 2);
  EXPECT_EQ(combo("minRating")->currentIndex(), 7);
  EXPECT_EQ(combo("user")->currentIndex(), 5);
  EXPECT_EQ(combo("userMode")->currentIndex(), 0);
  EXPECT_TRUE(box("Empty Dir")->isChecked());
  EXPECT_FALSE(box("Add Number")->isChecked());
  EXPECT_EQ(output()->text(), "/media/old");

  // The user's choices, written by "Close" as the filler block of "dTnFill.dat".
  bool closed = false;
  filler_->setOnClosed([&closed] { closed = true; });
  filler_->show();
  combo("fillSize")->setCurrentIndex(2);
  for (int i = 0; i < filler::kTypeBoxes; ++i) box(filler::kTypeBoxCaptions[i])->setChecked(i != 4);
  box("All")->setChecked(true);
  combo("naughtyLimit")->setCurrentIndex(1);
  combo("minRating")->setCurrentIndex(4);
  combo("user")->setCurrentIndex(6);
  combo("userMode")->setCurrentIndex(2);
  box("Empty Dir")->setChecked(false);
  box("Add Number")->setChecked(true);
  output()->setText("/media/stick/Music");
  button("Close")->click();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(filler_->isVisible());
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
  put(56, 0);
  put(60, 1);
  std::memcpy(expected.data() + 8 + 80, "/media/stick/Music", 18);
  EXPECT_EQ(testing::readBytes(dir_.folder() + "data/dTnFill.dat"), expected);
}

TEST_F(FillerWindowTest, FillIsDisabledWhileTheFillRunsAndEnabledAtItsEnd) {
  combo("fillSize")->setCurrentIndex(0);  // "128 MB": 122880 units, reached by the 12th file
  box("Add Number")->setChecked(true);
  button("Fill")->click();
  EXPECT_FALSE(button("Fill")->isEnabled());
  EXPECT_TRUE(button("Stop")->isEnabled());
  ASSERT_TRUE(processEventsUntil([&] { return button("Fill")->isEnabled(); }));
  EXPECT_FALSE(button("Stop")->isEnabled());
  EXPECT_EQ(files_.copies.load(), 12);
  int numbered = 0;
  for (const auto& entry : std::filesystem::directory_iterator(out_)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("0", 0) == 0 && name.find(" song") == 3) ++numbered;
  }
  EXPECT_EQ(numbered, 12);
  ASSERT_FALSE(titles_.titles.empty());
  EXPECT_EQ(titles_.titles.front(), "Tunora Deep Building");
  EXPECT_EQ(titles_.titles.back(), "Tunora Media Filler");
  EXPECT_TRUE(std::any_of(titles_.titles.begin(), titles_.titles.end(), [](const std::string& t) {
    return t.rfind("110MB to go, 000 song", 0) == 0;
  }));
  button("Fill")->click();  // a second fill runs as well
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
  EXPECT_EQ(filesIn(out_), 3);
  EXPECT_EQ(filler_->windowTitle().toStdString(), "Tunora Media Filler");
}

TEST_F(FillerWindowTest, EmptyDirAsksAndRefusesASongFolder) {
  const std::string music = dir_.folder() + "music";
  output()->setText(QString::fromStdString(music));
  box("Empty Dir")->setChecked(true);
  dialog_.script({kSecondButton});
  button("Fill")->click();  // "No": nothing happens
  EXPECT_TRUE(button("Fill")->isEnabled());
  EXPECT_EQ(dialog_.messages(), std::vector<std::string>{"Delete all files in Fill directory?"});
  button("Fill")->click();  // "Yes": the folder holds songs of the library
  ASSERT_TRUE(processEventsUntil([&] { return button("Fill")->isEnabled(); }));
  ASSERT_EQ(dialog_.messages().size(), 3u);
  EXPECT_NE(dialog_.messages()[2].find(music), std::string::npos) << dialog_.messages()[2];
  EXPECT_EQ(filesIn(music), 30);
  EXPECT_EQ(files_.copies.load(), 0);
}

TEST_F(FillerWindowTest, OnTopToggleFlipsTheSettingAndTheWindow) {
  auto toggle = [&](QMenu* menu) {
    for (QAction* action : menu->actions()) {
      if (action->text() == "On Top Toggle") return action;
    }
    return static_cast<QAction*>(nullptr);
  };
  std::unique_ptr<QMenu> menu(filler_->buildPopupMenu());
  ASSERT_NE(toggle(menu.get()), nullptr);
  EXPECT_FALSE(toggle(menu.get())->isChecked());
  toggle(menu.get())->trigger();
  EXPECT_EQ(settings().get(settings::kOnTop), 1);
  EXPECT_TRUE(filler_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  menu.reset(filler_->buildPopupMenu());
  EXPECT_TRUE(toggle(menu.get())->isChecked());
}

}  // namespace
}  // namespace tunora::ui::qt

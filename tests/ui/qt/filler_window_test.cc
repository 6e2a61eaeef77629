// The media filler window offscreen over the whole program: it shows the stored filler
// settings in their controls and "Close" stores what the user chose and writes it to
// "dTnFill.dat"; "Fill" is disabled while a fill of real files runs and "Stop" ends it between
// two files. (The output folder's guard is the fill engine's test.)
#include "ui/qt/filler_window.h"

#include <QPushButton>
#include <condition_variable>
#include <cstring>
#include <filesystem>

#include "filler/fill_files.h"
#include "filler/filler_form.h"
#include "settings/filler_layout.h"
#include "settings/filler_settings_file.h"
#include "tests/ui/qt/qt_fixture.h"

namespace tunora::ui::qt {
namespace {

// Real copies of small songs on an endless disk; holds the fill inside copy `hold_at` until the
// test lets it go.
class HeldFiles final : public filler::FillFiles {
 public:
  Status copyFile(const std::string& source, const std::string& target, bool& taken) override {
    Status s = real_.copyFile(source, target, taken);
    if (!taken && copies.fetch_add(1) + 1 == hold_at) {
      std::unique_lock lock(mu_);
      held.store(true);
      cv_.wait_for(lock, std::chrono::seconds(60), [this] { return released_; });  // bounded
    }
    return s;
  }
  std::optional<uint64_t> fileSize(const std::string& path) override {
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
  filler::PosixFillFiles real_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool released_ = false;
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
  }
  void openFiller() {
    filler_ = std::make_unique<FillerWindow>(FillerWindowParts{
        settings(), program().lock(), program().builder(), program().library(), files_,
        program().threads(), dialog_, env_, nullptr, dir_.folder() + "data/",
        dir_.folder() + "program/", dir_.folder() + "home"});
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
  bool fillDone() {
    return processEventsUntil([&] { return button("Fill")->isEnabled(); });
  }

  std::string out_ = dir_.folder() + "out";
  HeldFiles files_;
  std::unique_ptr<FillerWindow> filler_;
};

TEST_F(FillerWindowTest, ShowsTheStoredSettingsAndCloseStoresAndWritesTheChoices) {
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
  openFiller();
  expectShown(&*filler_, rows, false);
  bool closed = false;
  filler_->setOnClosed([&closed] { closed = true; });
  filler_->show();
  enterRows(&*filler_, rows);
  button("Close")->click();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(filler_->isVisible());
  expectStored(rows, true);
  // The file holds the same choices: read back over the stored values.
  storeRows(rows);
  ASSERT_TRUE(loadFillerSettings(dir_.folder() + "data/", s));
  expectStored(rows, true);
}

TEST_F(FillerWindowTest, FillIsDisabledWhileAFillRunsAndStopEndsItAfterTheFileBeingCopied) {
  openFiller();
  child<QComboBox>(&*filler_, "fillSize")->setCurrentIndex(7);  // "Fill": no budget
  files_.hold_at = 3;
  button("Fill")->click();
  EXPECT_FALSE(button("Fill")->isEnabled());
  EXPECT_TRUE(button("Stop")->isEnabled());
  ASSERT_TRUE(processEventsUntil([&] { return files_.held.load(); }));
  button("Stop")->click();
  files_.release();
  ASSERT_TRUE(fillDone());
  EXPECT_FALSE(button("Stop")->isEnabled());
  EXPECT_EQ(files_.copies.load(), 3);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out_), {}), 3);
}

}  // namespace
}  // namespace tunora::ui::qt

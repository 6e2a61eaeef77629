// The Song details dialog's database steps under the dialog's grant, over a real library file
// opened through the program's library opening: offline refusal, the build told to go on,
// "Delete" with the file moved after the grant. (The steps' own rules are the
// maintenance tests'.) Steps that wait for a grant run on a thread of their own.
#include "ui/song_details_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/lock_codes.h"
#include "library/song_columns.h"
#include "tests/support/song_library.h"
#include "tests/support/stored_fields.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_fixture.h"

namespace tunora::ui {
namespace {

using maintenance::DetailsState;

class SongDetailsWorkTest : public tunora::testing::UiTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_.file("data"));
    std::filesystem::create_directory(dir_.file("music"));
    path_ = dir_.file("Tunora.mbf");
    settings().setText(settings::kDatabasePath, path_);
    for (uint32_t k = 0; k < 10; ++k) settings().set(settings::kRatingValue, k, 1 << k);
  }

  // Slot 0 blank, the songs in slots 1, 2, ...; a path without a "/" names a file of the
  // test's music folder.
  void writeLibrary(std::vector<tunora::testing::LibrarySong> songs) {
    for (size_t i = 0; i < songs.size(); ++i) {
      songs[i].path = songs[i].path.empty() ? "/music/" + std::to_string(i) + ".mp3"
                                            : dir_.file("music/" + songs[i].path);
    }
    ASSERT_TRUE(tunora::testing::writeLibrary(path_, songs));
  }
  std::string text(int32_t slot) { return tunora::testing::storedText(path_, slot, kColTitle); }

  DetailsWorkParts parts() {
    return DetailsWorkParts{program_.lock(), program_.library(), settings(),
                            program_.context().fixed_user, dir_.folder() + "data/"};
  }
  DetailsOutcome step(DetailsState state, int32_t record) {
    DetailsRequest request;
    request.state = state;
    request.record = record;
    DetailsWorkParts p = parts();
    return detailsStepWithGrant(p, request);
  }

  tunora::testing::TempDir dir_;
  std::string path_;
};

TEST_F(SongDetailsWorkTest, SavingIsRefusedOfflineAndAsksAWaitingBuildToGoOn) {
  writeLibrary({{.title = "One", .artist = "A", .score = 600, .file_id = 7}});
  DetailsRequest save;
  save.state = DetailsState::kSave;
  save.record = 1;
  save.fields = step(DetailsState::kLoad, 1).fields;
  save.fields.title = "New title";

  // Offline: refused before the library opens.
  words().build_request.store(engine::kOfflineStart + 5);
  DetailsWorkParts p = parts();
  const DetailsOutcome refused = detailsStepWithGrant(p, save);
  EXPECT_TRUE(refused.offline);
  EXPECT_FALSE(refused.saved);
  EXPECT_EQ(text(1), "One");
  // Browsing still works offline.
  EXPECT_TRUE(step(DetailsState::kLoad, 1).loaded);

  words().build_request.store(5);  // a build waiting for its turn
  const DetailsOutcome saved = detailsStepWithGrant(p, save);
  EXPECT_TRUE(saved.saved);
  EXPECT_EQ(words().build_request.load(), engine::kBuildNow);
  EXPECT_EQ(text(1), "New title");
}

TEST_F(SongDetailsWorkTest, DeleteMarksTheRecordAndMovesTheFileAfterTheGrant) {
  writeLibrary({{.path = "one.mp3", .title = "One", .artist = "A", .file_id = 1},
                {.path = "two.mp3", .title = "Two", .artist = "B", .file_id = 2},
                {.path = "three.mp3", .title = "Three", .artist = "C", .file_id = 3}});
  tunora::testing::writeText(dir_.file("music/three.mp3"), "three");
  DetailsRequest request;
  request.delete_record = true;
  request.record = 3;
  std::atomic<bool> abort{false};
  DetailsOutcome out;
  DetailsWorkParts p = parts();
  ASSERT_TRUE(runHandingOver([&] { out = runDetailsWork(p, request, abort); }));
  EXPECT_TRUE(out.granted);
  EXPECT_EQ(out.record, 2);  // the record before it
  EXPECT_EQ(out.moved_to, dir_.folder() + "data/three.mp3");
  EXPECT_TRUE(std::filesystem::exists(out.moved_to));
  EXPECT_EQ(words().grant.load(), 0);
}

}  // namespace
}  // namespace tunora::ui

// The Song details dialog's database steps under the dialog's grant, over a real library file
// opened through the program's library opening: offline refusal, the build told to go on,
// "Delete" with the file moved after the grant. (The steps' own rules are the
// maintenance tests'.) Steps that wait for a grant run on a thread of their own.
#include "ui/song_details_work.h"

#include "engine/lock_codes.h"
#include "tests/support/song_library.h"
#include "tests/support/stored_fields.h"
#include "tests/ui/ui_fixture.h"

namespace tunora::ui {
namespace {

using maintenance::DetailsState;

class SongDetailsWorkTest : public tunora::testing::UiTest {
 protected:
  // Songs "one", "two" and "three" in slots 1 to 3, files of the test's music folder.
  void SetUp() override {
    std::filesystem::create_directory(dir_.file("data"));
    std::filesystem::create_directory(dir_.file("music"));
    settings().setText(settings::kDatabasePath, path_);
    for (uint32_t k = 0; k < 10; ++k) settings().set(settings::kRatingValue, k, 1 << k);
    std::vector<tunora::testing::LibrarySong> songs;
    for (const std::string name : {"one", "two", "three"})
      songs.push_back({.path = dir_.file("music/" + name + ".mp3"), .title = name, .score = 600});
    ASSERT_TRUE(tunora::testing::writeLibrary(path_, songs));
  }
  std::string title(int32_t slot) { return tunora::testing::storedText(path_, slot, kColTitle); }

  tunora::testing::TempDir dir_;
  std::string path_ = dir_.file("Tunora.mbf");
  DetailsWorkParts parts_{program_.lock(), program_.library(), settings(),
                          program_.context().fixed_user, dir_.folder() + "data/"};
};

TEST_F(SongDetailsWorkTest, SavingIsRefusedOfflineAndAsksAWaitingBuildToGoOn) {
  DetailsRequest save{.state = DetailsState::kSave, .record = 1};
  save.fields = detailsStepWithGrant(parts_, {.record = 1}).fields;
  save.fields.title = "New title";
  // Offline: refused before the library opens; browsing still works.
  words().build_request.store(engine::kOfflineStart + 5);
  const DetailsOutcome refused = detailsStepWithGrant(parts_, save);
  EXPECT_TRUE(refused.offline);
  EXPECT_FALSE(refused.saved);
  EXPECT_EQ(title(1), "one");
  EXPECT_TRUE(detailsStepWithGrant(parts_, {.record = 1}).loaded);

  words().build_request.store(5);  // a build waiting for its turn
  EXPECT_TRUE(detailsStepWithGrant(parts_, save).saved);
  EXPECT_EQ(words().build_request.load(), engine::kBuildNow);
  EXPECT_EQ(title(1), "New title");
}

TEST_F(SongDetailsWorkTest, DeleteMarksTheRecordAndMovesTheFileAfterTheGrant) {
  tunora::testing::writeText(dir_.file("music/three.mp3"), "three");
  std::atomic<bool> abort{false};
  DetailsOutcome out;
  ASSERT_TRUE(runHandingOver(
      [&] { out = runDetailsWork(parts_, {.delete_record = true, .record = 3}, abort); }));
  EXPECT_TRUE(out.granted);
  EXPECT_EQ(out.record, 2);  // the record before it
  EXPECT_EQ(out.moved_to, dir_.folder() + "data/three.mp3");
  EXPECT_TRUE(std::filesystem::exists(out.moved_to));
  EXPECT_EQ(words().grant.load(), 0);
}

}  // namespace
}  // namespace tunora::ui

// The cover loader: when it runs and what it loads, also while the lock is busy.
#include "ui/cover_loader.h"

#include "engine/lock_codes.h"
#include "engine/random_source.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_fixture.h"

namespace tunora::testing {
namespace {

class FakeDecoder final : public ui::PictureDecoder {
 public:
  Size load(const ui::CoverSource& source) override {
    loads.push_back(source.path);
    return Size{640, 480};
  }
  void release() override {}

  std::vector<std::string> loads;
};

class CoverLoaderTest : public UiTest {
 protected:
  void SetUp() override {
    std::ofstream(album_ + "song.mp3") << "x";
    player_.setPlayPath(album_ + "song.mp3");
    player_.media_type.store(1);
    words().playing.store(1);
    settings().set(settings::kCoverArt, 1);
    settings().set(settings::kUpperRightView, 1);
    window_state_.client_width.store(800);
    window_state_.client_height.store(600);
  }
  void picture(const std::string& name) { std::ofstream(album_ + name) << "jpeg"; }

  TempDir dir_;
  std::string album_ = dir_.folder();
  FakeDecoder decoder_;
  engine::SeededRandomSource random_{3};
  std::vector<ui::Rect> repaints_;
  ui::CoverLoader loader_{ui::CoverLoaderParts{
      window_state_, words(), settings(), player_, program_.status(), random_, decoder_, "", "",
      [this](const ui::Rect& r) { repaints_.push_back(r); }}};
};

TEST_F(CoverLoaderTest, LoadsTheChosenPictureAndRepaintsTheCoverArea) {
  picture("Cover.jpg");
  picture("Disc.jpg");
  ASSERT_TRUE(loader_.wanted());
  loader_.run();
  EXPECT_EQ(decoder_.loads, (std::vector<std::string>{album_ + "Cover.jpg"}));
  EXPECT_EQ(window_state_.cover.ready.load(), 1);
  EXPECT_EQ(window_state_.cover.disc_found.load(), 1);
  EXPECT_EQ(window_state_.cover.width.load(), 640);
  EXPECT_EQ(repaints_, (std::vector<ui::Rect>{{400, 30, 400, 370}}));
  EXPECT_FALSE(loader_.wanted()) << "a picture is ready";

  // The Disc view after a reload; none for a video song, with Cover Art off, or while busy.
  settings().set(settings::kUpperRightView, 2);
  window_state_.cover.markForReload();
  loader_.run();
  EXPECT_EQ(decoder_.loads.back(), album_ + "Disc.jpg");
  window_state_.cover.markForReload();
  player_.media_type.store(16);
  loader_.run();
  EXPECT_EQ(decoder_.loads.size(), 2u) << "a video song never loads a picture";
  player_.media_type.store(1);
  settings().set(settings::kCoverArt, 0);
  EXPECT_FALSE(loader_.wanted());
  settings().set(settings::kCoverArt, 1);
  window_state_.cover.busy.store(1);
  EXPECT_FALSE(loader_.wanted()) << "one loader at a time";
}

// The first run imports and then hashes the new songs: the checksum pass, the list builder or
// an import keeps the lock busy for many seconds at a time. The supervisor still starts the
// cover loader on its next tick, so the cover shows within a second of the song's start.
TEST_F(CoverLoaderTest, ACoverShowsWithinASecondWhileTheLockIsBusy) {
  picture("Folder.jpg");
  program_.supervisor().addWorker([this] { return loader_.wanted(); }, [this] { loader_.run(); },
                                  engine::WorkerNeeds::kNothing);
  const struct {
    const char* what;
    int32_t grant;    // held the whole time (0: none)
    int32_t request;  // waiting the whole time (0: none)
  } cases[] = {{"the checksum pass holds the lock", engine::kCodeChecksumPass, 0},
               {"the list builder holds it and the checksum pass waits", engine::kCodeListBuilder,
                engine::kCodeChecksumPass}};
  words().playing.store(0);
  ASSERT_TRUE(program_.startSupervisor());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    words().grant.store(c.grant);
    words().grant_holder_live.store(c.grant != 0 ? 1 : 0);
    words().request.store(c.request);
    // Let the lock be busy for a while before the song starts, at any point of a tick.
    ASSERT_TRUE(testing::driveFor(env_, std::chrono::milliseconds(2345)));
    window_state_.cover.resetForNewSong();
    words().playing.store(1);
    const uint64_t started = env_.nowMillis();
    ASSERT_TRUE(testing::driveUntil(env_, [&] {
      return window_state_.cover.ready.load() == 1 || env_.nowMillis() > started + 5000;
    }));
    EXPECT_EQ(window_state_.cover.ready.load(), 1);
    EXPECT_LE(env_.nowMillis() - started, 1000u);
    words().playing.store(0);
  }
  words().grant.store(0);
  words().grant_holder_live.store(0);
  words().request.store(0);
}

}  // namespace
}  // namespace tunora::testing

// The builder thread inside the program: with the supervisor handing over the lock, it fills the
// play list to ListSize, writes the state's play-list file and goes idle; a quit ends it.
#include <gtest/gtest.h>

#include "engine/lock_codes.h"
#include "tests/engine/builder_fixture.h"
#include "tests/engine/program_fixture.h"

namespace tunora::engine {
namespace {

class BuilderThreadTest : public tunora::testing::ProgramTest {};

TEST_F(BuilderThreadTest, FillsTheListWritesItsFileAndEndsAtTheQuit) {
  ASSERT_TRUE(tunora::testing::writeSongTable(path_, tunora::testing::plainSongs(40)));
  Settings& settings = program_.settings();
  settings = tunora::testing::firstRunSettings();
  settings.setText(settings::kDatabasePath, path_);
  settings.set(settings::kListSize, 12);
  program_.context().data_directory = dir_.path().string() + "/";
  program_.library().openLibraryForReading();  // start-up opens the library once
  program_.songTable().close();

  ASSERT_TRUE(program_.startSupervisor());
  ASSERT_TRUE(program_.startBuilder());
  // The builder asks for a build itself (fewer than 10 songs prepared) and passes follow.
  ASSERT_TRUE(tunora::testing::driveUntil(
      env_,
      [&] {
        return program_.words().build_request.load() == kBuildIdle &&
               program_.playList().size() == 12;
      },
      std::chrono::milliseconds(50)));
  EXPECT_TRUE(std::filesystem::exists(dir_.file("PL1.m3u")));
  EXPECT_EQ(program_.builder().memory().miss_count, 1u);  // the pick that filled the list

  // Idle until the list falls below 10.
  program_.playList().removeFirst(2);
  ASSERT_TRUE(
      tunora::testing::driveFor(env_, std::chrono::seconds(30), std::chrono::milliseconds(50)));
  EXPECT_EQ(program_.playList().size(), 10);
  program_.playList().removeFirst(1);
  ASSERT_TRUE(tunora::testing::driveUntil(
      env_, [&] { return program_.playList().size() == 12; }, std::chrono::milliseconds(50)));

  program_.closeWindow();
  ASSERT_TRUE(tunora::testing::driveUntil(
      env_, [&] { return program_.builder().stage() == 100; }, std::chrono::milliseconds(50)));
}

}  // namespace
}  // namespace tunora::engine

// Build passes: the conditions that stop a pass, deep building and the lowered minimum rating,
// the bounded draw budget, and a library replaced during a pass (the list becoming full is the
// builder thread's test); the draw against its plain form on random libraries (credits, filters,
// candidate checks, the pick balance), and the alt-mode patterns.
#include "engine/list_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/alt_pattern.h"
#include "engine/lock_codes.h"
#include "network/library_opening.h"
#include "tests/engine/builder_fixture.h"
#include "tests/engine/plain_builder.h"
#include "tests/support/fake_env.h"
#include "tests/support/temp_dir.h"

namespace tunora::engine {
namespace {

using testing::firstRunSettings;
using testing::plainSongs;
using testing::TestSong;
using tunora::testing::TempDir;

class ListBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    builder_.setDataDirectory(dir_.path().string() + "/");
    settings_.setText(settings::kDatabasePath, path_);
    settings_.set(settings::kListSize, 5);
  }
  void makeLibrary(const std::vector<TestSong>& songs) {
    ASSERT_TRUE(testing::writeSongTable(path_, songs));
    library_.openLibraryForReading();  // the live count as last opened
    table_.close();
  }
  // One pass under a grant taken directly, as the command-line builder runs them.
  void pass() {
    Grant grant = lock_.takeGrantDirectly(kCodeListBuilder);
    ASSERT_TRUE(grant);
    builder_.runBuildPassHolding(grant);
  }

  TempDir dir_;
  std::string path_ = dir_.file("songs.mbf");
  FakeEnv env_;
  SharedWords words_;
  SharedLock lock_{words_, env_};
  Settings settings_ = firstRunSettings();
  marlbase::TableHandle table_;
  network::LibraryOpening library_{table_, settings_};
  PlayList play_list_;
  StatusMessage status_;
  SeededRandomSource random_{7};
  BuilderHooks hooks_;
  ListBuilder builder_{lock_, library_, settings_, play_list_, status_, random_, env_, hooks_};
};

TEST_F(ListBuilderTest, NothingIsBuiltFromFewerThanTwentySongs) {
  makeLibrary(plainSongs(19));
  words_.build_request.store(kBuildNow);
  for (int i = 0; i < 20; ++i) pass();
  EXPECT_EQ(play_list_.size(), 0);
  EXPECT_EQ(words_.build_request.load(), kBuildNow);  // the request stays
  makeLibrary(plainSongs(20));
  for (int i = 0; i < 20 && play_list_.size() == 0; ++i) pass();
  EXPECT_EQ(play_list_.size(), 1);
}

TEST_F(ListBuilderTest, DeepBuildingLowersTheMinimumRatingPassByPass) {
  auto songs = plainSongs(30);
  for (auto& s : songs) s.score = 16;  // rating 5 everywhere
  makeLibrary(songs);
  settings_.set(settings::kStateMinRating, 0, 8);
  settings_.set(settings::kBuildTime, 40);
  words_.build_request.store(kBuildNow);
  pass();
  EXPECT_EQ(status_.text(), kDeepBuildingText);
  EXPECT_EQ(builder_.memory().miss_count, 1u);
  EXPECT_EQ(words_.build_request.load(), kBuildNow);
  // Minimum 8 is used as 8, 8, 7, 6, 5: the fifth pass can credit and later pick.
  for (int i = 0; i < 4; ++i) pass();
  EXPECT_EQ(builder_.memory().miss_count, 5u);
  EXPECT_EQ(play_list_.size(), 0);
  for (int i = 0; i < 200 && play_list_.size() == 0; ++i) pass();
  EXPECT_EQ(play_list_.size(), 1);
  EXPECT_EQ(builder_.memory().miss_count, 1u);                // a pick that did not fill the list
  EXPECT_EQ(settings_.get(settings::kStateMinRating, 0), 8);  // the setting itself is unchanged
}

TEST_F(ListBuilderTest, TheDrawBudgetStaysBoundedWhateverItStartsAt) {
  makeLibrary(plainSongs(40));
  // Quick picks (the fake clock stands still) raise the budget by 100 up to the bound; a saved
  // budget near the top of the integer range neither overflows nor stays that high.
  settings_.set(settings::kBuildTime, INT32_MAX - 50);
  words_.build_request.store(kBuildNow);
  for (int i = 0; i < 200 && play_list_.size() == 0; ++i) pass();
  ASSERT_EQ(play_list_.size(), 1);
  EXPECT_EQ(settings_.get(settings::kBuildTime), kMaxBuildTime);
  // A filter no song passes ends the pass after at most the bounded number of draws.
  settings_.set(settings::kBuildTime, INT32_MAX);
  settings_.set(settings::kStateNaughtyLimit, 0, 0);
  auto songs = plainSongs(40);
  for (auto& song : songs) song.flags = 3;  // every song "Really Dirty"
  makeLibrary(songs);
  pass();
  EXPECT_EQ(status_.text(), kDeepBuildingText);
}

// Another program copies a shorter library over the file while a pass has it open (it takes no
// lock): the pass stops with its message and writes nothing into the new file; the next pass
// builds from the file as it now is.
TEST_F(ListBuilderTest, ALibraryReplacedDuringAPassStopsItAndIsLeftAsItIs) {
  makeLibrary(plainSongs(30));
  const std::string other = dir_.file("other.mbf");
  ASSERT_TRUE(testing::writeSongTable(other, plainSongs(21)));
  const std::vector<uint8_t> shorter = tunora::testing::readBytes(other);
  ASSERT_LT(shorter.size(), tunora::testing::readBytes(path_).size());
  // The copy lands at the pass's first draw.
  struct CopyAtFirstDraw final : RandomSource {
    std::function<void()> copy;
    SeededRandomSource seeded{7};
    std::optional<uint32_t> next32() override {
      if (copy) std::exchange(copy, nullptr)();
      return seeded.next32();
    }
  } copying;
  copying.copy = [&] { tunora::testing::writeBytes(path_, shorter); };
  ListBuilder builder{lock_, library_, settings_, play_list_, status_, copying, env_, hooks_};
  words_.build_request.store(kBuildNow);
  Grant grant = lock_.takeGrantDirectly(kCodeListBuilder);
  ASSERT_TRUE(grant);
  builder.runBuildPassHolding(grant);
  EXPECT_EQ(status_.text(), kLibraryChangedText);
  EXPECT_EQ(builder.messageFlag().load(), 1);
  EXPECT_EQ(play_list_.size(), 0);
  EXPECT_EQ(words_.build_request.load(), kBuildNow);
  EXPECT_EQ(tunora::testing::readBytes(path_), shorter);
  for (int i = 0; i < 200 && play_list_.size() == 0; ++i) builder.runBuildPassHolding(grant);
  ASSERT_EQ(play_list_.size(), 1);
  EXPECT_NE((*play_list_.row(0))[kFileNameColumn], "");
}

// Each step moves state 0's user to the pattern's next character, from the second one on and
// round again: "1".."9" are users 0..8, "0" and ":" the tenth, a letter the first; an empty
// pattern gives the first user.
TEST(AltPatternTest, EachStepTakesTheUserOfThePatternsNextCharacter) {
  const struct {
    int32_t mode;
    const char* pattern;  // written into the tenth pattern, mode 10
    std::vector<int32_t> users;
  } rows[] = {{9, "", {2, 4, 0, 2, 4}}, {10, "0:a", {9, 0, 9}}, {10, "", {0}}};  // 9: "Odd", "135"
  for (const auto& row : rows) {
    Settings s = firstRunSettings();
    s.set(settings::kStateAltMode, 0, row.mode);
    s.set(settings::kStateUser, 0, 5);
    s.setText(settings::kAltPattern, 9, row.pattern);
    uint32_t position = 0;
    std::vector<int32_t> users;
    for (size_t i = 0; i < row.users.size(); ++i) {
      advanceAltPattern(s, position);
      users.push_back(s.get(settings::kStateUser, 0));
    }
    EXPECT_EQ(users, row.users) << "mode " << row.mode << " \"" << row.pattern << "\"";
  }
}

// Random libraries and rules: the draw and its plain form give the same outcomes, picks,
// settings and table bytes.
TEST(SongDrawOracleTest, DrawMatchesThePlainDrawOnRandomLibraries) {
  TempDir dir;
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto songs = plainSongs(static_cast<int>(20 + rng() % 700));
    for (auto& s : songs) {
      s.score = 1u << (rng() % 11);
      s.credit = rng() % 3 == 0 ? 0 : static_cast<uint32_t>(rng() % 1600);
      s.flags = rng() % 4;
      s.artist = "Artist " + std::to_string(rng() % 40);
      if (rng() % 20 == 0) s.path += ".txt";
    }
    const std::string path = dir.file("t" + std::to_string(seed) + ".mbf");
    ASSERT_TRUE(testing::writeSongTable(path, songs));
    std::vector<uint8_t> image = tunora::testing::readBytes(path);
    auto plain = marlbase::testing::PlainTable::fromImage(image, true);
    marlbase::TableHandle table;
    table.setPath(path);
    table.setWritable(true);
    ASSERT_TRUE(table.open().ok());

    Settings settings = firstRunSettings();
    settings.set(settings::kStateNaughtyLimit, 0, static_cast<int32_t>(rng() % 4));
    settings.set(settings::kStateMinRating, 0, static_cast<int32_t>(rng() % 6));
    settings.set(settings::kStateHistory, 0, static_cast<int32_t>(rng() % 2));
    settings.set(settings::kStateNoArtRep, 0, static_cast<int32_t>(rng() % 2));
    Settings plain_settings = settings;
    BuilderMemory memory, plain_memory;
    SeededRandomSource random(seed), plain_random(seed);
    for (int draw = 0; draw < 3000; ++draw) {
      const DrawRules rules = DrawRules::forCurrentState(settings, memory.miss_count);
      int32_t slot = -1, plain_slot = -1;
      const DrawOutcome a = drawOnce(table, settings, memory, rules, random, &slot);
      const DrawOutcome b = testing::plainDrawOnce(plain, plain_settings, plain_memory, rules,
                                                   plain_random, &plain_slot);
      ASSERT_EQ(a, b) << "draw " << draw;
      ASSERT_EQ(slot, plain_slot);
      if (a == DrawOutcome::kPicked) {
        memory.last_added_path = memory.last_picked_path;
        plain_memory.last_added_path = plain_memory.last_picked_path;
      }
    }
    EXPECT_TRUE(settings == plain_settings);
    EXPECT_EQ(memory.pick_balance, plain_memory.pick_balance);
    table.close();
    EXPECT_EQ(tunora::testing::readBytes(path), plain.image());
  }
}

}  // namespace
}  // namespace tunora::engine

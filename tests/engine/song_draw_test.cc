// The list builder's draw against its plain form on random libraries (credits, filters, candidate
// checks, the pick balance), and the alt-mode patterns.
#include "engine/song_draw.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/alt_pattern.h"
#include "tests/engine/builder_fixture.h"
#include "tests/engine/plain_builder.h"
#include "tests/support/temp_dir.h"

namespace tunora::engine {
namespace {

using testing::firstRunSettings;
using testing::plainSongs;
using tunora::testing::TempDir;

TEST(AltPatternTest, OddPatternTakesUsersOneThreeFiveFromTheSecondCharacter) {
  Settings s = firstRunSettings();
  s.set(settings::kStateAltMode, 0, 9);  // "Odd": "135"
  uint32_t position = 0;
  std::vector<int32_t> users;
  for (int i = 0; i < 5; ++i) {
    advanceAltPattern(s, position);
    users.push_back(s.get(settings::kStateUser, 0));
  }
  EXPECT_EQ(users, (std::vector<int32_t>{2, 4, 0, 2, 4}));
  s.setText(settings::kAltPattern, 9, "0:a");
  s.set(settings::kStateAltMode, 0, 10);
  position = 0;
  advanceAltPattern(s, position);
  EXPECT_EQ(s.get(settings::kStateUser, 0), 9);  // ":"
  advanceAltPattern(s, position);
  EXPECT_EQ(s.get(settings::kStateUser, 0), 0);  // "a"
  advanceAltPattern(s, position);
  EXPECT_EQ(s.get(settings::kStateUser, 0), 9);  // "0" is the tenth user
  s.setText(settings::kAltPattern, 9, "");
  s.set(settings::kStateUser, 0, 5);
  advanceAltPattern(s, position);
  EXPECT_EQ(s.get(settings::kStateUser, 0), 0);
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

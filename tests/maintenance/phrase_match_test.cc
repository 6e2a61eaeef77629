// The record-by-record search against the table's own findNext and recordMatches on random
// libraries: the same records for text keys (including the restart after a partial match),
// number keys and the empty key.
#include "maintenance/phrase_match.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/song_library.h"

namespace tunora::maintenance {
namespace {

using testing::SongLibrary;

std::string randomText(std::mt19937& rng, size_t max_length) {
  static const char kLetters[] = "aAbB1 ";
  std::string text;
  const size_t n = rng() % (max_length + 1);
  for (size_t i = 0; i < n; ++i) text += kLetters[rng() % 6];
  return text;
}

TEST(PhraseMatchTest, SameRecordsAsTheTablesFindNext) {
  std::mt19937 rng(5);
  for (int round = 0; round < 10; ++round) {
    SongLibrary lib(round % 2 == 0);
    for (int i = 0; i < 80; ++i) {
      const int32_t s = lib.add({.path = randomText(rng, 12),
                                 .title = randomText(rng, 8),
                                 .artist = randomText(rng, 8),
                                 .score = static_cast<uint32_t>(rng() % 4),
                                 .plays = static_cast<uint32_t>(rng() % 12)});
      if (rng() % 5 == 0) lib.table().setStatus(s, 5);
    }
    std::vector<std::string> keys = {"", "aab", "AAB", "ab", "b1", "11", "3", "0", "x", " "};
    for (int i = 0; i < 20; ++i) keys.push_back(randomText(rng, 4));
    for (const std::string& key : keys) {
      SCOPED_TRACE("key \"" + key + "\" round " + std::to_string(round));
      marlbase::TableHandle& t = lib.table();
      const PhraseMatcher matcher(t, key);
      t.setSearchKey(key);
      for (int32_t s : lib.live()) EXPECT_EQ(matcher.matches(s), t.recordMatches(s) == s) << s;
      for (int32_t from : lib.live()) {
        if (static_cast<uint32_t>(from) + 1 >= t.capacity()) continue;
        EXPECT_EQ(matcher.next(t, from), t.findNext(from)) << from;
      }
    }
  }
}

}  // namespace
}  // namespace tunora::maintenance

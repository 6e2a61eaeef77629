// The column index against a plain map from key to slots, over random inserts, erases and
// resizes: every key's slots, in ascending order, after every step.
#include "marlbase/column_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

namespace tunora::marlbase {
namespace {

TEST(ColumnIndexTest, HoldsTheSlotsOfEveryKeyInOrderThroughRandomChanges) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    uint32_t capacity = 50 + rng() % 300;
    // Few distinct keys (many slots per key) in some runs, many (mostly one slot each) in others.
    const uint32_t distinct = seed % 2 == 0 ? 8 : 2000;
    ColumnIndex index;
    index.reset(capacity);
    std::map<uint32_t, uint64_t> key_of;              // slot -> key
    std::map<uint64_t, std::set<uint32_t>> slots_of;  // key -> slots
    auto forget = [&](uint32_t slot) {
      const auto it = key_of.find(slot);
      if (it == key_of.end()) return;
      slots_of[it->second].erase(slot);
      key_of.erase(it);
    };
    for (int step = 0; step < 3000; ++step) {
      const uint32_t op = rng() % 100;
      const uint32_t slot = rng() % capacity;
      uint64_t touched = rng() % distinct;
      if (op < 55) {
        index.insert(slot, touched);
        forget(slot);
        key_of[slot] = touched;
        slots_of[touched].insert(slot);
      } else if (op < 98) {
        if (key_of.count(slot) != 0) touched = key_of[slot];
        index.erase(slot);
        forget(slot);
      } else {
        capacity = 50 + rng() % 300;
        index.resize(capacity);
        while (!key_of.empty() && key_of.rbegin()->first >= capacity)
          forget(key_of.rbegin()->first);
      }
      ASSERT_EQ(index.size(), key_of.size());
      const auto got = index.slots(touched);
      const std::set<uint32_t>& want = slots_of[touched];
      ASSERT_EQ(std::vector<uint32_t>(got.begin(), got.end()),
                std::vector<uint32_t>(want.begin(), want.end()))
          << "key " << touched << " step " << step;
      if (step % 100 != 0) continue;
      for (const auto& [key, expected] : slots_of) {  // every key now and then
        const auto all = index.slots(key);
        ASSERT_EQ(std::vector<uint32_t>(all.begin(), all.end()),
                  std::vector<uint32_t>(expected.begin(), expected.end()))
            << "key " << key << " step " << step;
      }
    }
  }
}

TEST(ColumnIndexTest, TextKeysFoldOnlyAsciiLetters) {
  auto key = [](const char* text, uint32_t limit = 100) {
    return textKey(reinterpret_cast<const uint8_t*>(text), limit);
  };
  EXPECT_EQ(key("/Music/A.mp3"), key("/music/a.MP3"));
  EXPECT_NE(key("/music/a.mp3"), key("/music/a.mp3 "));
  EXPECT_NE(key("\xC3\x84"), key("\xC3\xA4"));  // Ä and ä in UTF-8
  EXPECT_NE(key("["), key("{"));                // 0x5B and 0x7B differ by 0x20 but are no letters
  EXPECT_EQ(key("abcdef", 3), key("ABC"));      // a field is read up to its width - 1
}

}  // namespace
}  // namespace tunora::marlbase

// The column index against a plain map from key to slots, over random inserts, erases and
// resizes: every key's slots, in ascending order, after every step; the slot set against std::set.
#include "marlbase/column_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

#include "marlbase/slot_set.h"

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

TEST(SlotSetTest, AgreesWithStdSetUnderRandomChanges) {
  std::mt19937 rng(7);
  for (uint32_t size : {1u, 63u, 64u, 65u, 4095u, 4096u, 4097u, 20000u}) {
    SlotSet set;
    set.reset(size);
    std::set<uint32_t> model;
    for (int step = 0; step < 3000; ++step) {
      const uint32_t slot = rng() % size;
      if (rng() % 3 == 0) {
        set.erase(slot);
        model.erase(slot);
      } else {
        set.insert(slot);
        model.insert(slot);
      }
      const uint32_t probe = rng() % (size + 2);
      auto up = model.lower_bound(probe);
      EXPECT_EQ(set.next(probe), up == model.end() ? SlotSet::kNone : *up);
      auto down = model.upper_bound(std::min(probe, size - 1));
      EXPECT_EQ(set.previous(probe), down == model.begin() ? SlotSet::kNone : *std::prev(down));
      const uint32_t n = model.empty() ? 1 : rng() % (model.size() + 1) + 1;
      auto nth = model.begin();
      if (n <= model.size()) std::advance(nth, n - 1);
      EXPECT_EQ(set.select(n), n <= model.size() ? *nth : SlotSet::kNone);
      ASSERT_EQ(set.count(), model.size());
    }
    // Growing keeps the members; bulk loading counts them again.
    set.resize(size + 100);
    for (uint32_t s : model) EXPECT_TRUE(set.contains(s));
    EXPECT_EQ(set.count(), model.size());
    EXPECT_EQ(set.next(size), SlotSet::kNone);
  }
}

}  // namespace
}  // namespace tunora::marlbase

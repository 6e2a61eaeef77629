// SlotSet against std::set under random inserts, erases and growth.
#include "marlbase/slot_set.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace tunora::marlbase {
namespace {

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

// Kills (SIGKILL) a child process at every crash point (the engine's TEST_setCrashPoint seam,
// k = 1, 2, ... until a run completes) of a compaction, a shrink, a series of growths and two sorts
// (with free slots, on a full table; through the sort image and, with no room for the image,
// through the move journal), and checks the table each kill leaves as the next opener
// finds it: it opens; every occupied record is whole; no record is lost and none is occupied
// twice. Each round takes another random table; TUNORA_KILL_TEST_ROUNDS=n runs n rounds (default
// 1, about 800 kills in all). Its own test program, for its own timeout.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "tests/marlbase/table_test_util.h"
#include "tests/support/kill_child.h"

namespace tunora::marlbase {
namespace {

// Columns: path (64 bytes), id, a 300-byte text, a check word. Record size 376.
const std::vector<uint32_t> kTypes = {12, 2, 13, 2};
constexpr int32_t kOtherOccupied = 11;  // occupied but not live: it moves like a live record

std::string pathOf(uint32_t id) { return "song/" + std::to_string(id); }
std::string textOf(uint32_t id) {
  std::string text;
  while (text.size() < 299) text += std::to_string(id) + "-";
  return text.substr(0, 299);
}
uint32_t checkOf(uint32_t id) { return id * 2654435761u ^ 0x5bd1e995u; }

// Fields first, status last, as a crash-safe writer adds a record.
bool writeRecord(TableHandle& t, int32_t slot, uint32_t id, int32_t status) {
  return t.writeText(slot, 1, pathOf(id)) && t.writeInt(slot, 2, id) &&
         t.writeText(slot, 3, textOf(id)) && t.writeInt(slot, 4, checkOf(id)) &&
         t.setStatus(slot, status) == 1;
}

// The child's work: the open handle and the first record id it may add. True when it completed.
using Work = std::function<bool(TableHandle&, uint32_t)>;

class KillTest : public ::testing::Test {
 protected:
  // A table of `capacity` slots: records 1..n (slot 0 and others at random), the other slots free
  // (statuses 0, 5, and a few 1, 9 and -1 the engine does not reuse) with old fields. Returns the
  // status of every record id (index = id).
  std::vector<int32_t> build(uint32_t capacity, uint32_t records, uint32_t seed) {
    std::filesystem::remove(sortImagePathFor(path_));  // a row's stand-in that kept the image out
    std::mt19937 rng(seed);
    std::vector<bool> holds(capacity, false);
    holds[0] = true;
    for (uint32_t placed = 1; placed < records;) {
      const uint32_t s = 1 + rng() % (capacity - 1);
      if (!holds[s]) holds[s] = true, ++placed;
    }
    static const int32_t kFree[] = {0, 5, 5, 5, 1, 9, -1};
    std::vector<int32_t> status_of{0}, statuses(capacity);
    for (int32_t& status : statuses) status = kFree[rng() % 7];
    testing::writeShapedTable(path_, kTypes, statuses);
    TableHandle t;
    EXPECT_TRUE(testing::openAs(t, path_, true).ok());
    for (uint32_t s = 0, id = 1; s < capacity; ++s) {
      const int32_t status = holds[s] ? (rng() % 10 == 0 ? kOtherOccupied : 10) : statuses[s];
      t.setStatus(static_cast<int32_t>(s), 10);  // fields are written only while a record is live
      EXPECT_TRUE(writeRecord(t, static_cast<int32_t>(s), holds[s] ? id : 900000 + s, status));
      if (holds[s]) status_of.push_back(status), ++id;
    }
    t.close();
    template_ = tunora::testing::readBytes(path_);
    return status_of;
  }

  // Runs `work` in a child killed at crash point k. True when the child was killed there.
  bool runKilledAt(int k, const Work& work, uint32_t first_new) {
    tunora::testing::writeBytes(path_, template_);
    TableHandle t;  // the child's
    int points = 0;
    const auto setUp = [&] {
      if (!testing::openAs(t, path_, true).ok()) return false;
      t.TEST_setCrashPoint([&] { (void)(++points == k && raise(SIGKILL)); });
      return true;
    };
    const auto end = tunora::testing::runAndKill(
        setUp, [&] { return work(t, first_new); }, std::chrono::microseconds(-1));
    EXPECT_NE(end, tunora::testing::ChildEnd::kFailed) << "the child failed at point " << k;
    return end == tunora::testing::ChildEnd::kKilled;
  }

  // "" when the table opens and every occupied record is whole, none lost and none twice; else
  // what is wrong. Ids above those of status_of were added by the child: 1..the highest must be
  // there.
  std::string check(const std::vector<int32_t>& status_of) {
    TableHandle t;
    if (!testing::openAs(t, path_, false).ok()) return "the table does not open";
    std::map<uint32_t, int> seen;
    for (int32_t s = 0; s < static_cast<int32_t>(t.capacity()); ++s) {
      const int32_t status = *t.peekStatus(s);
      if (status <= kHighestFreeStatus) continue;
      const uint32_t id = *t.readInt(s, 2);
      if (id == 0 || t.readText(s, 1) != pathOf(id) || t.readText(s, 3) != textOf(id) ||
          t.readInt(s, 4) != checkOf(id) || (id < status_of.size() && status != status_of[id])) {
        return "slot " + std::to_string(s) + " is half-written";
      }
      ++seen[id];
    }
    uint32_t highest = static_cast<uint32_t>(status_of.size()) - 1;
    if (!seen.empty()) highest = std::max(highest, seen.rbegin()->first);
    for (uint32_t id = 1; id <= highest; ++id) {
      if (seen[id] != 1)
        return "record " + std::to_string(id) + " is there " + std::to_string(seen[id]) + " times";
    }
    return "";
  }

  // Each round builds the table from another seed and kills the work at every point in turn;
  // returns the kills of all rounds. Stops at the first kill that broke an invariant.
  int killEverywhere(const char* what, uint32_t capacity, uint32_t records, uint32_t seed,
                     const Work& work) {
    const char* text = std::getenv("TUNORA_KILL_TEST_ROUNDS");
    const int rounds = std::max(1, text != nullptr ? std::atoi(text) : 1);
    int kills = 0;
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
      SCOPED_TRACE(std::string(what) + ", round " + std::to_string(round));
      const std::vector<int32_t> status_of = build(capacity, records, seed + round);
      const auto first_new = static_cast<uint32_t>(status_of.size());
      for (int k = 1; k < 100000 && runKilledAt(k, work, first_new); ++k, ++kills) {
        const std::string broken = check(status_of);
        if (!broken.empty()) {
          ADD_FAILURE() << "killed at point " << k << ": " << broken;
          return kills;
        }
      }
      EXPECT_EQ(check(status_of), "") << "the completed run";
    }
    std::printf("%s: %d kills, every table sound\n", what, kills);
    return kills;
  }

  tunora::testing::TempDir dir_;
  std::string path_ = dir_.file("t.mbf");
  std::vector<uint8_t> template_;
};

TEST_F(KillTest, NoKillLosesOrDoublesARecordOrLeavesATableThatDoesNotOpen) {
  // A sort by path puts "song/10" before "song/9". It writes the sorted records beside the table,
  // then into it. Where the image cannot be written (a folder stands in its place), the records
  // move along the cycles of the new order; on a full table each cycle goes through the journal's
  // held record.
  const Work sort = [](TableHandle& t, uint32_t) {
    return t.sortByColumn(1, "") == 1 && t.readText(1, 1) == "song/10";
  };
  const Work sort_moving = [&](TableHandle& t, uint32_t first_new) {
    std::filesystem::create_directory(sortImagePathFor(path_));
    return std::filesystem::is_directory(sortImagePathFor(path_)) && sort(t, first_new);
  };
  const struct {
    const char* what;
    uint32_t capacity, records, seed;
    int min_kills;
    Work work;
  } rows[] = {
      // Two thirds of the slots free: compact() packs the records down.
      {"compaction", 150, 50, 1, 250,
       [](TableHandle& t, uint32_t) { return t.compact() > 0 && t.nthLive(1) == 0; }},
      // 60 % occupied: the maintenance compacts, writes the lower capacity, cuts the file.
      {"shrink", 90, 54, 1001, 200,
       [](TableHandle& t, uint32_t) { return t.maintain() == 1 && t.capacity() == 80; }},
      {"sort", 40, 30, 3001, 60, sort},
      {"sort, full table", 40, 40, 4001, 60, sort},
      {"sort through the journal", 40, 30, 3001, 150, sort_moving},
      {"sort through the journal, full table", 40, 40, 4001, 150, sort_moving},
      // Nearly full: records added one at a time after the maintenance, which grows the table
      // whenever fewer than 10 slots are free.
      {"growth", 60, 58, 2001, 8,
       [](TableHandle& t, uint32_t first_new) {
         for (uint32_t id = first_new; id < first_new + 40; ++id) {
           if (t.maintain() != 1) return false;
           const int32_t slot = t.firstWithStatus(0, 0);
           if (slot < 0 || !writeRecord(t, slot, id, 10)) return false;
         }
         return t.capacity() > 60;
       }},
  };
  for (const auto& row : rows) {
    EXPECT_GE(killEverywhere(row.what, row.capacity, row.records, row.seed, row.work),
              row.min_kills)
        << row.what;
  }
}

}  // namespace
}  // namespace tunora::marlbase

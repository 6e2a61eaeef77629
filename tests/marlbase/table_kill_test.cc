// Kills (SIGKILL) a child process at every crash point of a compaction, of a shrink, of a series
// of growths and of two sorts (one with free slots, one on a full table), and checks the table
// each kill leaves as the next opener finds it: it opens; every occupied record is whole; no
// record is lost and none is occupied twice.
//
// The crash points are the engine's TEST_setCrashPoint seam: the child counts them and kills
// itself at the k-th, for k = 1, 2, ... until a run completes. Each round takes another random
// table; TUNORA_KILL_TEST_ROUNDS=n runs n rounds (default 1, about 800 kills in all), for example
// TUNORA_KILL_TEST_ROUNDS=20 in the sanitizer builds. Its own test program, for its own timeout.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "marlbase/table_handle.h"
#include "tests/marlbase/table_test_util.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::writeBytes;

// Columns: path (64 bytes), id, a 300-byte text, a check word. Record size 376.
const std::vector<uint32_t> kTypes = {12, 2, 13, 2};
constexpr int32_t kOtherOccupied = 11;  // occupied but not live: it moves like a live record
constexpr int kChildFailed = 3;

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

int roundsFromEnvironment() {
  const char* text = std::getenv("TUNORA_KILL_TEST_ROUNDS");
  const int rounds = text != nullptr ? std::atoi(text) : 1;
  return rounds > 0 ? rounds : 1;
}

// A table of `capacity` slots: records 1..n with their statuses, scattered by the seed over
// slots whose others are free (statuses 0, 5, and a few 1, 9 and -1 the engine does not reuse).
struct Shape {
  uint32_t capacity;
  uint32_t records;
};

class KillTest : public ::testing::Test {
 public:
  // Builds the table and returns the status of every record id (index = id).
  std::vector<int32_t> build(const Shape& shape, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<int32_t> slots_status(shape.capacity);
    std::vector<bool> holds(shape.capacity, false);
    // Slot 0 is live, as in a song table; the rest at random.
    holds[0] = true;
    for (uint32_t placed = 1; placed < shape.records;) {
      const uint32_t s = 1 + rng() % (shape.capacity - 1);
      if (!holds[s]) holds[s] = true, ++placed;
    }
    static const int32_t kFree[] = {0, 5, 5, 5, 1, 9, -1};
    std::vector<int32_t> status_of{0};  // id 0 unused
    std::vector<int32_t> statuses(shape.capacity);
    for (uint32_t s = 0; s < shape.capacity; ++s) statuses[s] = kFree[rng() % 7];
    testing::writeShapedTable(path_, kTypes, statuses);
    TableHandle t;
    t.setPath(path_);
    t.setWritable(true);
    EXPECT_TRUE(t.open().ok());
    // Every slot gets fields (free ones too: a deleted slot keeps an old record's fields).
    uint32_t id = 1;
    for (uint32_t s = 0; s < shape.capacity; ++s) {
      const bool occupied = holds[s];
      const int32_t status = occupied ? (rng() % 10 == 0 ? kOtherOccupied : 10) : statuses[s];
      t.setStatus(static_cast<int32_t>(s), 10);  // fields are written only while a record is live
      EXPECT_TRUE(writeRecord(t, static_cast<int32_t>(s), occupied ? id : 900000 + s, status));
      if (occupied) status_of.push_back(status), ++id;
    }
    t.close();
    template_ = readBytes(path_);
    return status_of;
  }

  // Runs `work` in a child killed at crash point k. True when the child was killed there, false
  // when it completed first.
  template <typename Work>
  bool runKilledAt(int k, Work&& work, uint32_t first_new) {
    writeBytes(path_, template_);
    const pid_t child = fork();
    if (child == 0) {
      alarm(60);  // a child that hangs dies, and the parent reports it
      TableHandle t;
      t.setPath(path_);
      t.setWritable(true);
      if (!t.open().ok()) _exit(kChildFailed);
      int points = 0;
      t.TEST_setCrashPoint([&] {
        if (++points == k) raise(SIGKILL);
      });
      _exit(work(t, first_new) ? 0 : kChildFailed);
    }
    int wstatus = 0;
    EXPECT_EQ(waitpid(child, &wstatus, 0), child);
    if (WIFSIGNALED(wstatus)) {
      EXPECT_EQ(WTERMSIG(wstatus), SIGKILL) << "the child died otherwise at point " << k;
      return WTERMSIG(wstatus) == SIGKILL;
    }
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0)
        << "the child failed at point " << k;
    return false;
  }

  // The invariants after a kill: "" when the table opens and every occupied record is whole,
  // none lost and none twice; else what is wrong. `status_of[id]` for the records the table
  // held; ids above them may have been added by the child (they must then be whole, and 1..
  // their highest).
  std::string check(const std::vector<int32_t>& status_of) {
    TableHandle t;
    t.setPath(path_);
    if (!t.open().ok()) return "the table does not open";
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
      if (seen.count(id) == 0) return "record " + std::to_string(id) + " is lost";
      if (seen[id] > 1) return "record " + std::to_string(id) + " is there twice";
    }
    return "";
  }

  // Kills the work at every crash point in turn; returns the number of kills. Stops at the first
  // kill that broke an invariant.
  template <typename Work>
  int killAtEveryPoint(const char* what, const std::vector<int32_t>& status_of, Work&& work,
                       uint32_t first_new) {
    int kills = 0;
    for (int k = 1; k < 100000 && runKilledAt(k, work, first_new); ++k) {
      ++kills;
      const std::string broken = check(status_of);
      if (!broken.empty()) {
        ADD_FAILURE() << what << ", killed at point " << k << ": " << broken;
        return kills;
      }
    }
    std::printf("%s: %d kills, every table sound\n", what, kills);
    EXPECT_EQ(check(status_of), "") << what << ": the completed run";
    return kills;
  }

  // The child's work gets the handle and the first record id it may add.
 protected:
  TempDir dir_;
  std::string path_ = dir_.file("t.mbf");
  std::vector<uint8_t> template_;
};

// Each round builds the table from another seed and kills the work at every point; returns the
// kills of all rounds.
template <typename Work>
int everyRound(KillTest& test, const char* what, Shape shape, uint32_t seed_base, Work&& work) {
  int total = 0;
  for (int round = 0; round < roundsFromEnvironment(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::vector<int32_t> status_of =
        test.build(shape, seed_base + static_cast<uint32_t>(round));
    total += test.killAtEveryPoint(what, status_of, work, static_cast<uint32_t>(status_of.size()));
    if (::testing::Test::HasFailure()) break;
  }
  return total;
}

TEST_F(KillTest, CompactionNeverLosesNorDoublesRecords) {
  // Two thirds of the slots free: compact() packs the records down.
  const int kills = everyRound(*this, "compaction", {150, 50}, 1, [](TableHandle& t, uint32_t) {
    return t.compact() > 0 && t.nthLive(1) == 0;
  });
  EXPECT_GE(kills, 250);
}

TEST_F(KillTest, ShrinkNeverLosesNorDoublesRecordsAndAlwaysOpens) {
  // 60 % occupied: the maintenance compacts, then writes the lower capacity and cuts the file
  // (by 10 slots at this size).
  const int kills = everyRound(*this, "shrink", {90, 54}, 1001, [](TableHandle& t, uint32_t) {
    return t.maintain() == 1 && t.capacity() == 80;
  });
  EXPECT_GE(kills, 200);
}

TEST_F(KillTest, SortNeverLosesNorDoublesRecords) {
  // A sort by path ("song/10" before "song/9"): a compaction, then the records moved along the
  // cycles of the new order.
  const int kills = everyRound(*this, "sort", {40, 30}, 3001, [](TableHandle& t, uint32_t) {
    return t.sortByColumn(1, "") == 1 && t.readText(1, 1) == "song/10";
  });
  EXPECT_GE(kills, 200);
}

TEST_F(KillTest, SortOfAFullTableNeverLosesNorDoublesRecords) {
  // No free slot: each cycle of the new order goes through the journal's held record.
  const int kills =
      everyRound(*this, "sort, full table", {40, 40}, 4001, [](TableHandle& t, uint32_t) {
        return t.sortByColumn(1, "") == 1 && t.readText(1, 1) == "song/10";
      });
  EXPECT_GE(kills, 150);
}

TEST_F(KillTest, GrowthAlwaysOpensAndKeepsEveryRecord) {
  // Nearly full: records added one at a time (fields first, status last), each after the
  // maintenance, which grows the table whenever fewer than 10 slots are free.
  const int kills =
      everyRound(*this, "growth", {60, 58}, 2001, [](TableHandle& t, uint32_t first_new) {
        for (uint32_t id = first_new; id < first_new + 40; ++id) {
          if (t.maintain() != 1) return false;
          const int32_t slot = t.firstWithStatus(0, 0);
          if (slot < 0 || !writeRecord(t, slot, id, 10)) return false;
        }
        return t.capacity() > 60;
      });
  EXPECT_GE(kills, 8);
}

}  // namespace
}  // namespace tunora::marlbase

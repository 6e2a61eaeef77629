// The engine against the plain algorithms: random small tables, random sequences of
// operations, the same results after every step and the same file bytes at the end.
#include <gtest/gtest.h>

#include <random>

#include "marlbase/collation.h"
#include "marlbase/table_handle.h"
#include "tests/marlbase/plain_table.h"
#include "tests/marlbase/table_test_util.h"
#include "tests/support/temp_dir.h"

namespace tunora::marlbase {
namespace {

using testing::PlainTable;
using tunora::testing::readBytes;
using tunora::testing::TempDir;
using tunora::testing::writeBytes;

constexpr int32_t kStatuses[] = {0, 5, 9, 10, 10, 10, 70};

class OracleRun {
 public:
  OracleRun(uint32_t seed, const std::string& path) : rng_(seed), path_(path) {}

  void run() {
    buildInitialImage();
    for (int step = 0; step < 80; ++step) {
      SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(last_op_));
      randomOperation();
      ASSERT_EQ(engine_.liveCount(), plain_.liveCount());
      ASSERT_EQ(engine_.capacity(), plain_.capacity());
      if (::testing::Test::HasFatalFailure()) return;
    }
    engine_.close();
    EXPECT_EQ(readBytes(path_), plain_.image()) << "file bytes differ";
  }

 private:
  uint32_t pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  int32_t anySlot() { return static_cast<int32_t>(pick(plain_.capacity())); }

  std::string randomText(size_t max) {
    static const char kLetters[] = "abAB xyZ09-";
    std::string text(pick(static_cast<uint32_t>(max) + 1), ' ');
    for (char& c : text) c = kLetters[pick(sizeof kLetters - 1)];
    return text;
  }

  void buildInitialImage() {
    const uint32_t columns = 1 + pick(4);
    static const uint32_t kTypes[] = {0, 1, 2, 3, 10, 11, 12, 20};
    for (uint32_t c = 0; c < columns; ++c) types_.push_back(kTypes[pick(8)]);
    plain_ = PlainTable::create(types_);
    const uint32_t capacity = 3 + pick(150);
    std::vector<uint8_t> image = plain_.image();
    const size_t area = 1444 + 8 * columns;
    image.resize(std::max(image.size(), area + capacity * plain_.recordSize()), 0);
    testing::putLe32(image, 1360, capacity);
    plain_ = PlainTable::fromImage(image, true);
    for (uint32_t s = 0; s < capacity; ++s) plain_.putStatus(s, kStatuses[pick(7)]);
    plain_.recount();
    if (plain_.liveCount() == 0) plain_.putStatus(0, 10);
    plain_.recount();
    for (uint32_t s = 0; s < capacity; ++s) {
      for (uint32_t c = 1; c <= columns; ++c) {
        if (types_[c - 1] >= 10) {
          plain_.textValue = randomText(20);
        } else {
          plain_.intValue = pick(4) == 0 ? static_cast<uint32_t>(rng_()) : pick(30);
        }
        plain_.writeField(static_cast<int32_t>(s), static_cast<int32_t>(c));
      }
    }
    writeBytes(path_, plain_.image());
    engine_.setPath(path_);
    engine_.setWritable(true);
    ASSERT_TRUE(engine_.open().ok());
    engine_.setTextValue(plain_.textValue);
    engine_.setIntValue(plain_.intValue);
  }

  void setKey() {
    std::string key;
    if (pick(3) == 0) {
      key = randomText(3);
    } else {
      // A stored value, with the case of its letters flipped at random.
      const int32_t s = anySlot();
      const auto c = static_cast<int32_t>(1 + pick(static_cast<uint32_t>(types_.size())));
      plain_.readField(s, c);
      engine_.readField(s, c);  // both sides' buffers stay alike
      key = types_[c - 1] >= 10 ? plain_.textValue : std::to_string(plain_.intValue);
      for (char& ch : key) {
        if (std::isalpha(static_cast<unsigned char>(ch)) && pick(2)) ch ^= 0x20;
      }
      if (pick(3) == 0 && key.size() > 1) key = key.substr(1, key.size() / 2);
    }
    plain_.searchKey = key;
    engine_.setSearchKey(key);
  }

  void expectSameBuffers() {
    EXPECT_EQ(engine_.intValue(), plain_.intValue);
    EXPECT_EQ(std::string(engine_.textValue()), plain_.textValue);
  }

  void randomOperation() {
    const int32_t slot = anySlot();
    const auto column = static_cast<int32_t>(1 + pick(static_cast<uint32_t>(types_.size())));
    last_op_ = static_cast<int>(pick(19));
    SCOPED_TRACE("op " + std::to_string(last_op_));
    switch (last_op_) {
      case 0: {
        const int32_t status = kStatuses[pick(7)];
        EXPECT_EQ(engine_.setStatus(slot, status), plain_.setStatus(slot, status));
        break;
      }
      case 1:
        EXPECT_EQ(engine_.allocate(), plain_.allocate());
        break;
      case 2:
        if (types_[column - 1] >= 10) {
          const std::string text = randomText(70);
          engine_.setTextValue(text);
          plain_.textValue = text;
        } else {
          const auto value = static_cast<uint32_t>(rng_());
          engine_.setIntValue(value);
          plain_.intValue = value;
        }
        EXPECT_EQ(engine_.writeField(slot, column), plain_.writeField(slot, column));
        break;
      case 3:
        EXPECT_EQ(engine_.readField(slot, column), plain_.readField(slot, column));
        expectSameBuffers();
        break;
      case 4: {
        const int32_t key = kStatuses[pick(7)];
        EXPECT_EQ(engine_.firstWithStatus(key, slot), plain_.firstWithStatus(key, slot))
            << "key " << key << " start " << slot;
        break;
      }
      case 5:
        EXPECT_EQ(engine_.nextLive(slot), plain_.nextLive(slot));
        EXPECT_EQ(engine_.previousLive(slot), plain_.previousLive(slot));
        EXPECT_EQ(engine_.lastLive(), plain_.lastLive());
        break;
      case 6: {
        const auto n = static_cast<int32_t>(pick(plain_.capacity() + 2));
        EXPECT_EQ(engine_.nthLive(n), plain_.nthLive(n));
        break;
      }
      case 7:
        EXPECT_EQ(engine_.maintain(), plain_.maintain());
        break;
      case 8:
        EXPECT_EQ(engine_.compact(), plain_.compact());
        break;
      case 9:
        setKey();
        EXPECT_EQ(engine_.findInColumn(column), plain_.findInColumn(column));
        expectSameBuffers();
        break;
      case 10:
        setKey();
        EXPECT_EQ(engine_.findInColumnFrom(slot, column), plain_.findInColumnFrom(slot, column));
        expectSameBuffers();
        break;
      case 11:
        setKey();
        EXPECT_EQ(engine_.findNext(slot), plain_.findNext(slot));
        expectSameBuffers();
        break;
      case 12: {
        const bool batch = pick(2) == 0;
        engine_.setBatch(batch);
        plain_.setBatch(batch);
        break;
      }
      case 13: {
        const int32_t to = anySlot();
        EXPECT_EQ(engine_.copySlot(slot, to), plain_.copySlot(slot, to));
        break;
      }
      case 14:
        // Reopen: the plain recounts; the engine may reuse what it kept.
        engine_.close();
        engine_.setWritable(true);
        ASSERT_TRUE(engine_.open().ok());
        plain_.recount();
        plain_.setHold(0);  // every open clears the compaction hold
        break;
      case 15: {
        const int32_t hold = pick(4) == 0 ? 1 : 0;
        engine_.setCompactionHold(hold);
        plain_.setHold(hold);
        break;
      }
      case 16: {
        if (pick(4) != 0) break;  // sorting is the slowest step
        auto greater = [&](const std::string& a, const std::string& b) {
          return collation_->compare(a, b) > 0;
        };
        EXPECT_EQ(engine_.sortByColumn(column, "en_US"), plain_.sortByColumn(column, greater));
        // The exchange sort leaves whatever it compared last in the buffers; ours leaves them.
        plain_.textValue = engine_.textValue();
        plain_.intValue = engine_.intValue();
        break;
      }
      case 17: {
        // Every match of a key in slot order, one findInColumnFrom after the other.
        setKey();
        int32_t from = pick(3) == 0 ? slot : 0;
        for (int guard = 0; guard <= static_cast<int>(plain_.capacity()); ++guard) {
          const int32_t ours = engine_.findInColumnFrom(from, column);
          ASSERT_EQ(ours, plain_.findInColumnFrom(from, column)) << "walk from " << from;
          expectSameBuffers();
          if (ours < 0) break;
          from = ours + 1;
        }
        break;
      }
      case 18: {
        // Another handle changes the file between our close and reopen: what we kept is stale.
        engine_.close();
        TableHandle other;
        other.setPath(path_);
        other.setWritable(true);
        ASSERT_TRUE(other.open().ok());
        // The other handle counts its live records afresh and does not batch.
        plain_.recount();
        plain_.setBatch(false);
        for (int n = 0; n < 3; ++n) {
          const int32_t s = anySlot();
          const auto c = static_cast<int32_t>(1 + pick(static_cast<uint32_t>(types_.size())));
          if (types_[c - 1] >= 10) {
            const std::string text = pick(2) == 0 ? randomText(5) : "";
            other.setTextValue(text);
            plain_.textValue = text;
          } else {
            other.setIntValue(pick(30));
            plain_.intValue = other.intValue();
          }
          other.writeField(s, c);
          plain_.writeField(s, c);
          const int32_t status = kStatuses[pick(7)];
          other.setStatus(s, status);
          plain_.setStatus(s, status);
        }
        other.close();
        plain_.setBatch(engine_.batch());
        engine_.setWritable(true);
        ASSERT_TRUE(engine_.open().ok());
        plain_.recount();
        plain_.setHold(0);
        // The buffers are the handle's own, not the file's.
        engine_.setTextValue(plain_.textValue);
        engine_.setIntValue(plain_.intValue);
        break;
      }
    }
  }

  std::mt19937 rng_;
  std::string path_;
  std::vector<uint32_t> types_;
  PlainTable plain_;
  TableHandle engine_;
  int last_op_ = -1;
  std::unique_ptr<Collation> collation_ = Collation::forLocale("en_US");
};

TEST(TableOracleTest, EngineMatchesThePlainAlgorithmsOnRandomTables) {
  TempDir dir;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    OracleRun run(seed, dir.file(std::to_string(seed) + ".mbf"));
    run.run();
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace tunora::marlbase

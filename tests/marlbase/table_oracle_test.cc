// The engine against the plain algorithms: random small tables, random sequences of
// operations, the same results after every step and the same file bytes at the end.
#include <gtest/gtest.h>

#include <random>

#include "marlbase/collation.h"
#include "tests/marlbase/table_test_util.h"

namespace tunora::marlbase {
namespace {

using testing::PlainTable;

// 0x1000A: only the low 16 bits count for firstWithStatus; it is occupied but not live.
constexpr int32_t kStatuses[] = {0, 5, 9, 10, 10, 10, 70, 0x1000A};

class OracleRun {
 public:
  OracleRun(uint32_t seed, const std::string& path) : rng_(seed), path_(path) {}

  void run() {
    buildInitialImage();
    for (int step = 0; step < 80 && !::testing::Test::HasFatalFailure(); ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      randomOperation();
      ASSERT_EQ(engine_.liveCount(), plain_.liveCount());
      ASSERT_EQ(engine_.capacity(), plain_.capacity());
    }
    engine_.close();
    EXPECT_EQ(tunora::testing::readBytes(path_), plain_.image()) << "file bytes differ";
  }

 private:
  uint32_t pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  int32_t anySlot() { return static_cast<int32_t>(pick(plain_.capacity())); }
  int32_t anyColumn() {
    return static_cast<int32_t>(1 + pick(static_cast<uint32_t>(types_.size())));
  }
  int32_t anyStatus() { return kStatuses[pick(std::size(kStatuses))]; }
  bool isText(int32_t column) const { return types_[column - 1] >= 10; }

  std::string randomText(size_t max) {
    static const char kLetters[] = "abAB xyZ09-";
    std::string text(pick(static_cast<uint32_t>(max) + 1), ' ');
    for (char& c : text) c = kLetters[pick(sizeof kLetters - 1)];
    return text;
  }

  // Random values into slot/column of the plain table and through `handle` (when given).
  void writeRandom(TableHandle* handle, int32_t slot, int32_t column, size_t max_text) {
    if (isText(column)) {
      plain_.textValue = randomText(max_text);
      if (handle) handle->setTextValue(plain_.textValue);
    } else {
      plain_.intValue = pick(4) == 0 ? static_cast<uint32_t>(rng_()) : pick(30);
      if (handle) handle->setIntValue(plain_.intValue);
    }
    const int32_t plain_type = plain_.writeField(slot, column);
    EXPECT_TRUE(!handle || handle->writeField(slot, column) == plain_type);
  }

  // After another handle changed the file, or a plain reopen: the engine opens it again.
  void reopen() {
    engine_.setWritable(true);
    ASSERT_TRUE(engine_.open().ok());
    plain_.recount();
    plain_.setHold(0);  // every open clears the compaction hold
  }

  void buildInitialImage() {
    static const uint32_t kTypes[] = {0, 1, 2, 3, 10, 11, 12, 20};
    for (uint32_t c = 0, n = 1 + pick(4); c < n; ++c) types_.push_back(kTypes[pick(8)]);
    std::vector<int32_t> statuses(3 + pick(150));
    for (int32_t& status : statuses) status = anyStatus();
    statuses[0] = kStatusLive;
    testing::writeShapedTable(path_, types_, statuses);
    plain_ = PlainTable::fromImage(tunora::testing::readBytes(path_), true);
    for (uint32_t s = 0; s < statuses.size(); ++s) {
      for (int32_t c = 1; c <= static_cast<int32_t>(types_.size()); ++c) {
        writeRandom(nullptr, static_cast<int32_t>(s), c, 20);
      }
    }
    tunora::testing::writeBytes(path_, plain_.image());
    ASSERT_TRUE(testing::openAs(engine_, path_, true).ok());
    engine_.setTextValue(plain_.textValue);
    engine_.setIntValue(plain_.intValue);
  }

  void setKey() {
    std::string key = randomText(3);
    if (pick(3) != 0) {
      // A stored value, with the case of its letters flipped at random.
      const int32_t s = anySlot();
      const int32_t c = anyColumn();
      plain_.readField(s, c);
      engine_.readField(s, c);  // both sides' buffers stay alike
      key = isText(c) ? plain_.textValue : std::to_string(plain_.intValue);
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
    const int32_t column = anyColumn();
    const int op = static_cast<int>(pick(19));
    SCOPED_TRACE("op " + std::to_string(op));
    int32_t value = 0;
    switch (op) {
      case 0:
        value = anyStatus();
        EXPECT_EQ(engine_.setStatus(slot, value), plain_.setStatus(slot, value));
        break;
      case 1:
        EXPECT_EQ(engine_.allocate(), plain_.allocate());
        break;
      case 2:
        writeRandom(&engine_, slot, column, 70);
        break;
      case 3:
        EXPECT_EQ(engine_.readField(slot, column), plain_.readField(slot, column));
        expectSameBuffers();
        break;
      case 4:
        value = anyStatus();
        EXPECT_EQ(engine_.firstWithStatus(value, slot), plain_.firstWithStatus(value, slot))
            << "key " << value << " start " << slot;
        break;
      case 5:
        EXPECT_EQ(engine_.nextLive(slot), plain_.nextLive(slot));
        EXPECT_EQ(engine_.previousLive(slot), plain_.previousLive(slot));
        EXPECT_EQ(engine_.lastLive(), plain_.lastLive());
        break;
      case 6:
        value = static_cast<int32_t>(pick(plain_.capacity() + 2));
        EXPECT_EQ(engine_.nthLive(value), plain_.nthLive(value));
        break;
      case 7:
        EXPECT_EQ(engine_.maintain(), plain_.maintain());
        break;
      case 8:
        EXPECT_EQ(engine_.compact(), plain_.compact());
        break;
      case 9:
      case 10:
      case 11:
        setKey();
        EXPECT_EQ(op == 9    ? engine_.findInColumn(column)
                  : op == 10 ? engine_.findInColumnFrom(slot, column)
                             : engine_.findNext(slot),
                  op == 9    ? plain_.findInColumn(column)
                  : op == 10 ? plain_.findInColumnFrom(slot, column)
                             : plain_.findNext(slot));
        expectSameBuffers();
        break;
      case 12:
        engine_.setBatch(pick(2) == 0);
        plain_.setBatch(engine_.batch());
        break;
      case 13:
        value = anySlot();  // the slot copied to
        EXPECT_EQ(engine_.copySlot(slot, value), plain_.copySlot(slot, value));
        break;
      case 14:
        // Reopen: the plain recounts; the engine may reuse what it kept.
        engine_.close();
        reopen();
        break;
      case 15:
        value = pick(4) == 0 ? 1 : 0;  // the compaction hold
        engine_.setCompactionHold(value);
        plain_.setHold(value);
        break;
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
        // That handle counts its live records afresh and does not batch.
        engine_.close();
        TableHandle other;
        ASSERT_TRUE(testing::openAs(other, path_, true).ok());
        plain_.recount();
        plain_.setBatch(false);
        for (int n = 0; n < 3; ++n) {
          const int32_t s = anySlot();
          writeRandom(&other, s, anyColumn(), 5);
          const int32_t status = anyStatus();
          EXPECT_EQ(other.setStatus(s, status), plain_.setStatus(s, status));
        }
        other.close();
        plain_.setBatch(engine_.batch());
        reopen();
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
  std::unique_ptr<Collation> collation_ = Collation::forLocale("en_US");
};

TEST(TableOracleTest, EngineMatchesThePlainAlgorithmsOnRandomTables) {
  tunora::testing::TempDir dir;
  for (uint32_t seed = 1; seed <= 300 && !::testing::Test::HasFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    OracleRun(seed, dir.file(std::to_string(seed) + ".mbf")).run();
  }
}

}  // namespace
}  // namespace tunora::marlbase

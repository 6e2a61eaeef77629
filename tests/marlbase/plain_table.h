// The table engine's algorithms written out plainly over an in-memory file image: scans from
// slot 0, the compaction that restarts after every move within its budget, the exchange sort.
// Slow on purpose; it is the oracle the real engine is compared against, byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tunora::marlbase::testing {

class PlainTable {
 public:
  // The image that create, defineColumn for each type and finishColumns leave.
  static PlainTable create(const std::vector<uint32_t>& types);
  // Takes an existing image (as read from a file) and opens it: loads the header, counts live.
  static PlainTable fromImage(std::vector<uint8_t> image, bool writable);
  // Opens a table held in memory the caller owns (a mapped file), which must outlive this
  // object. Operations that grow or cut the table are not available on it.
  static PlainTable overMemory(uint8_t* data, bool writable);

  std::vector<uint8_t>& image() { return image_; }
  uint32_t capacity() const { return capacity_; }
  int32_t liveCount() const { return live_; }
  uint32_t recordSize() const { return record_size_; }
  void setBatch(bool batch) { batch_ = batch; }
  void setHold(int32_t hold) { hold_ = hold; }

  int32_t status(uint32_t slot) const;
  void putStatus(uint32_t slot, int32_t status);  // raw write, no recount
  void recount();

  int32_t readField(int32_t slot, int32_t column);
  int32_t writeField(int32_t slot, int32_t column);
  uint32_t intValue = 0;
  std::string textValue;
  std::string searchKey;

  int32_t setStatus(int32_t slot, int32_t status);
  int32_t allocate();
  int32_t copySlot(int32_t from, int32_t to);
  int32_t firstWithStatus(int32_t key, int32_t start);
  int32_t nextLive(int32_t slot);
  int32_t previousLive(int32_t slot);
  int32_t lastLive();
  int32_t nthLive(int32_t n);
  int32_t maintain();
  int32_t compact();

  int32_t findInColumn(int32_t column);
  int32_t findInColumnFrom(int32_t start, int32_t column);
  int32_t recordMatches(int32_t slot);
  int32_t findNext(int32_t slot);
  // Exchange sort with the given comparison of the two comparison texts (true = a > b).
  int32_t sortByColumn(int32_t column,
                       const std::function<bool(const std::string&, const std::string&)>& greater);

 private:
  uint8_t* bytes() { return external_ ? external_ : image_.data(); }
  const uint8_t* bytes() const { return external_ ? external_ : image_.data(); }
  uint8_t* slotAt(uint32_t slot) { return &bytes()[record_area_ + uint64_t{slot} * record_size_]; }
  uint8_t* fieldAt(uint32_t slot, int32_t column);
  uint32_t type(int32_t column) const;
  void loadHeader();
  std::string comparisonText(uint32_t slot, int32_t column);
  bool fieldEquals(uint32_t slot, int32_t column);
  bool fieldContains(uint32_t slot, int32_t column, uint32_t k);
  uint32_t numericKey() const;

  std::vector<uint8_t> image_;
  uint8_t* external_ = nullptr;
  uint32_t columns_ = 0;
  uint32_t capacity_ = 0;
  uint32_t record_size_ = 0;
  uint32_t record_area_ = 0;
  int32_t live_ = 0;
  bool batch_ = false;
  int32_t hold_ = 0;
  bool writable_ = true;
};

}  // namespace tunora::marlbase::testing

// The plain algorithms of the table engine, as the oracle for its tests and benchmarks.
#include "tests/marlbase/plain_table.h"

#include <algorithm>
#include <cstring>

namespace tunora::marlbase::testing {
namespace {

uint32_t get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t width(uint32_t type) {
  static const uint32_t kWidths[16] = {1,  2,  4, 8,  16, 64,  64,   64,
                                       64, 64, 4, 16, 64, 300, 1000, 5000};
  return type < 16 ? kWidths[type] : 64;
}

// Equal when ASCII letters are folded to lower case; no other byte folds.
bool folded(uint8_t f, uint8_t k) {
  auto lower = [](uint8_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  return lower(f) == lower(k);
}

}  // namespace

PlainTable PlainTable::create(const std::vector<uint32_t>& types) {
  PlainTable t;
  const auto n = static_cast<uint32_t>(types.size());
  // Header, then 5000 zero bytes (the descriptors may reach past them).
  t.image_.assign(std::max<size_t>(1444 + 5000, 1444 + 8 * n), 0);
  std::memcpy(&t.image_[0], "DATA1000", 8);
  // The header flag, two words of 2, the column count and the capacity.
  for (auto [at, v] : {std::pair{608u, 1u}, {1352u, 2u}, {1356u, n}, {1360u, 10u}, {1364u, 2u}}) {
    put32(&t.image_[at], v);
  }
  // Finish: descriptors with running offsets, then 15 empty slots from the record area.
  const uint32_t area = 1444 + 8 * n;
  uint32_t running = area + 4;
  for (uint32_t c = 0; c < n; ++c) {
    put32(&t.image_[1444 + 8 * c], types[c]);
    put32(&t.image_[1444 + 8 * c + 4], running);
    running += width(types[c]);
  }
  const size_t end = area + (15 * (running - area) + 3) / 4 * 4;
  if (t.image_.size() < end) t.image_.resize(end, 0);
  t.loadHeader();
  return t;
}

PlainTable PlainTable::overMemory(uint8_t* data, bool writable) {
  PlainTable t;
  t.external_ = data;
  t.writable_ = writable;
  t.loadHeader();
  return t;
}

PlainTable PlainTable::fromImage(std::vector<uint8_t> image, bool writable) {
  PlainTable t;
  t.image_ = std::move(image);
  t.writable_ = writable;
  t.loadHeader();
  return t;
}

void PlainTable::loadHeader() {
  columns_ = get32(&bytes()[1356]);
  capacity_ = get32(&bytes()[1360]);
  record_size_ = 4;
  for (uint32_t c = 0; c < columns_; ++c) record_size_ += width(get32(&bytes()[1444 + 8 * c]));
  record_area_ = 1444 + 8 * columns_;
  recount();
}

uint32_t PlainTable::type(int32_t column) const { return get32(&bytes()[1444 + 8 * (column - 1)]); }

uint8_t* PlainTable::fieldAt(uint32_t slot, int32_t column) {
  return &bytes()[get32(&bytes()[1444 + 8 * (column - 1) + 4]) + uint64_t{slot} * record_size_];
}

int32_t PlainTable::status(uint32_t slot) const {
  return static_cast<int32_t>(get32(&bytes()[record_area_ + uint64_t{slot} * record_size_]));
}

void PlainTable::putStatus(uint32_t slot, int32_t s) {
  put32(slotAt(slot), static_cast<uint32_t>(s));
}

void PlainTable::recount() {
  live_ = 0;
  for (uint32_t s = 0; s < capacity_; ++s) live_ += status(s) == 10;
}

// Integer fields: 1, 2 or (types 2 and above) the low 4 bytes, little-endian.
static uint32_t intBytes(uint32_t type) { return type == 0 ? 1 : type == 1 ? 2 : 4; }

int32_t PlainTable::readField(int32_t slot, int32_t column) {
  if (live_ == 0 || column == 0) return -1;
  const uint32_t t = type(column);
  const uint8_t* f = fieldAt(static_cast<uint32_t>(slot), column);
  if (t >= 10) {
    textValue.assign(reinterpret_cast<const char*>(f),
                     strnlen(reinterpret_cast<const char*>(f), width(t) - 1));
  } else {
    intValue = 0;
    for (uint32_t i = 0; i < intBytes(t); ++i) intValue |= uint32_t{f[i]} << (8 * i);
  }
  return static_cast<int32_t>(t);
}

int32_t PlainTable::writeField(int32_t slot, int32_t column) {
  if (live_ == 0 || column == 0) return -1;
  const uint32_t t = type(column);
  uint8_t* f = fieldAt(static_cast<uint32_t>(slot), column);
  if (t >= 10) {
    // The bytes after the text's NUL are not significant; they are written as zeros.
    std::memset(f, 0, width(t));
    std::memcpy(f, textValue.data(), std::min<size_t>(textValue.size(), width(t) - 1));
    textValue.clear();
  } else {
    for (uint32_t i = 0; i < intBytes(t); ++i) f[i] = static_cast<uint8_t>(intValue >> (8 * i));
  }
  return static_cast<int32_t>(t);
}

int32_t PlainTable::setStatus(int32_t slot, int32_t s) {
  putStatus(static_cast<uint32_t>(slot), s);
  if (!batch_) recount();
  return 1;
}

int32_t PlainTable::allocate() {
  if (!writable_) return -1;
  maintain();
  for (uint32_t s = 0; s < capacity_; ++s) {
    if (status(s) == 0 || status(s) == 5) {
      putStatus(s, 10);
      if (!batch_) recount();
      return static_cast<int32_t>(s);
    }
  }
  return -1;
}

int32_t PlainTable::copySlot(int32_t from, int32_t to) {
  std::memmove(slotAt(static_cast<uint32_t>(to)), slotAt(static_cast<uint32_t>(from)),
               record_size_);
  return 1;
}

int32_t PlainTable::firstWithStatus(int32_t key, int32_t start) {
  if (live_ == 0) return -1;
  if (start > static_cast<int32_t>(capacity_) - 1) start = static_cast<int32_t>(capacity_) - 1;
  for (uint32_t s = static_cast<uint32_t>(start); s < capacity_; ++s)
    if (static_cast<int16_t>(status(s) & 0xFFFF) == key) return static_cast<int32_t>(s);
  return -1;
}

int32_t PlainTable::nextLive(int32_t slot) {
  if (live_ == 0) return slot;
  for (uint32_t s = static_cast<uint32_t>(slot) + 1; s < capacity_; ++s)
    if (status(s) == 10) return static_cast<int32_t>(s);
  return slot;
}

int32_t PlainTable::previousLive(int32_t slot) {
  if (live_ == 0 || slot == 0) return slot;
  for (int32_t s = slot - 1; s >= 0; --s)
    if (status(static_cast<uint32_t>(s)) == 10) return s;
  return slot;
}

int32_t PlainTable::lastLive() {
  if (live_ == 0) return -1;
  for (uint32_t s = capacity_ - 1; s >= 1; --s)
    if (status(s) == 10) return static_cast<int32_t>(s);
  return -1;
}

int32_t PlainTable::nthLive(int32_t n) {
  if (n == 0 || live_ == 0) return -1;
  int32_t seen = 0;
  for (uint32_t s = 0; s < capacity_; ++s)
    if (status(s) == 10 && ++seen == n) return static_cast<int32_t>(s);
  return -1;
}

int32_t PlainTable::maintain() {
  if (live_ == 0) return 1;
  uint32_t occupied = 0;
  for (uint32_t s = 0; s < capacity_; ++s) occupied += status(s) > 9;
  const uint32_t free = capacity_ - occupied;
  const uint32_t percent = static_cast<uint32_t>(uint64_t{occupied} * 100 / capacity_);
  if (percent > 90 || free < 10) {
    const uint32_t n = occupied / 16 > 10 ? occupied / 16 : 10;
    image_.resize(image_.size() + (uint64_t{n} * record_size_ + 3) / 4 * 4, 0);
    capacity_ += n;
  } else if (percent < 70 && capacity_ > 50 && hold_ == 0 && compact() != 0) {
    capacity_ -= capacity_ > 100 ? capacity_ * 3 / 16 : 10;
    image_.resize(record_area_ + uint64_t{capacity_} * record_size_);
  } else {
    return 1;
  }
  put32(&image_[1360], capacity_);
  writable_ = true;
  recount();
  return 1;
}

int32_t PlainTable::compact() {
  if (live_ == 0 || hold_ != 0) return 500000;
  const bool saved = batch_;
  batch_ = true;
  int32_t budget = 500000;
  uint32_t i = 0;
  int64_t hole = -1;
  while (i != capacity_ && budget > 0) {
    if (status(i) <= 9) {
      hole = i;
      ++i;
    } else if (hole < 0) {
      ++i;
    } else {
      std::memcpy(slotAt(static_cast<uint32_t>(hole)), slotAt(i), record_size_);  // status too
      putStatus(i, 5);
      --budget;
      i = 0;
      hole = -1;
    }
  }
  batch_ = saved;
  recount();
  return budget;
}

uint32_t PlainTable::numericKey() const {
  uint32_t n = 0;
  for (unsigned char c : searchKey) n = n * 10 + (c - '0');
  return n;
}

bool PlainTable::fieldEquals(uint32_t slot, int32_t column) {
  readField(static_cast<int32_t>(slot), column);
  const uint32_t t = type(column);
  if (t < 10) return intValue == numericKey();
  const std::string& f = textValue;
  if (f.size() != searchKey.size()) return false;
  for (size_t i = 0; i < f.size(); ++i)
    if (!folded(static_cast<uint8_t>(f[i]), static_cast<uint8_t>(searchKey[i]))) return false;
  return true;
}

int32_t PlainTable::findInColumn(int32_t column) {
  if (live_ == 0 || column == 0) return -1;
  for (uint32_t s = capacity_ - 1; s >= 1; --s)
    if (status(s) > 9 && fieldEquals(s, column)) return static_cast<int32_t>(s);
  return -1;
}

int32_t PlainTable::findInColumnFrom(int32_t start, int32_t column) {
  if (live_ == 0 || column == 0) return -1;
  for (uint32_t s = static_cast<uint32_t>(start); s < capacity_; ++s)
    if (status(s) > 9 && fieldEquals(s, column)) return static_cast<int32_t>(s);
  return -1;
}

bool PlainTable::fieldContains(uint32_t slot, int32_t column, uint32_t k) {
  readField(static_cast<int32_t>(slot), column);
  if (type(column) < 10) return k != 0xFFFFFFFF && intValue == k;
  const std::string f = textValue;
  size_t kp = 0;
  size_t fp = 0;
  while (true) {
    if (kp == searchKey.size()) return true;
    if (fp == f.size()) return false;
    if (folded(static_cast<uint8_t>(f[fp]), static_cast<uint8_t>(searchKey[kp]))) {
      ++kp;
    } else {
      kp = 0;
    }
    ++fp;
  }
}

int32_t PlainTable::recordMatches(int32_t slot) {
  uint32_t k = numericKey();
  if (k == 0) k = 0xFFFFFFFF;
  for (int32_t c = static_cast<int32_t>(columns_); c >= 1; --c)
    if (fieldContains(static_cast<uint32_t>(slot), c, k)) return slot;
  return -1;
}

int32_t PlainTable::findNext(int32_t slot) {
  if (live_ == 0) return -1;
  uint32_t s = static_cast<uint32_t>(slot) < capacity_ - 1 ? static_cast<uint32_t>(slot) + 1
                                                           : static_cast<uint32_t>(slot);
  for (; s < capacity_; ++s) {
    if (status(s) == 10 && recordMatches(static_cast<int32_t>(s)) >= 0) {
      return static_cast<int32_t>(s);
    }
  }
  return -1;
}

std::string PlainTable::comparisonText(uint32_t slot, int32_t column) {
  readField(static_cast<int32_t>(slot), column);
  return type(column) >= 10 ? textValue : std::to_string(intValue);
}

int32_t PlainTable::sortByColumn(
    int32_t column, const std::function<bool(const std::string&, const std::string&)>& greater) {
  if (capacity_ <= 2 || column == 0 || live_ == 0) return 0;
  compact();
  uint32_t end = capacity_ - 1;
  uint32_t last = 0;
  uint32_t i = 1;
  while (i <= end) {
    if (status(i - 1) > 9 && status(i) > 9 &&
        greater(comparisonText(i - 1, column), comparisonText(i, column))) {
      std::swap_ranges(slotAt(i - 1), slotAt(i - 1) + record_size_, slotAt(i));  // status too
      last = i;
    }
    ++i;
    if (i > end && last != 0) {
      end = last;
      last = 0;
      i = 1;
    }
  }
  recount();
  return 1;
}

}  // namespace tunora::marlbase::testing

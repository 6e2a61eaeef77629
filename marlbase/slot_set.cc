// SlotSet: bit sets with a summary level and a Fenwick tree for selection.
#include "marlbase/slot_set.h"

#include <algorithm>
#include <bit>

namespace tunora::marlbase {
namespace {

uint32_t wordsFor(uint32_t size) { return (size + 63) / 64; }

// The position of the n-th (1-based) set bit of a word that has at least n set bits.
uint32_t selectInWord(uint64_t word, uint32_t n) {
  for (uint32_t i = 1; i < n; ++i) word &= word - 1;
  return static_cast<uint32_t>(std::countr_zero(word));
}

}  // namespace

void SlotSet::reset(uint32_t size) {
  size_ = size;
  count_ = 0;
  const uint32_t words = wordsFor(size);
  bits_.assign(words, 0);
  summary_.assign(wordsFor(words), 0);
  tree_.assign(words + 1, 0);
  tree_top_ = words == 0 ? 0 : std::bit_floor(words);
}

void SlotSet::finishBulk() {
  const uint32_t words = static_cast<uint32_t>(bits_.size());
  count_ = 0;
  std::fill(summary_.begin(), summary_.end(), 0);
  std::fill(tree_.begin(), tree_.end(), 0);
  for (uint32_t w = 0; w < words; ++w) {
    const auto c = static_cast<uint32_t>(std::popcount(bits_[w]));
    count_ += c;
    if (c != 0) summary_[w >> 6] |= uint64_t{1} << (w & 63);
    // Linear-time Fenwick construction: each node pushes its sum to its parent.
    tree_[w + 1] += c;
    const uint32_t parent = (w + 1) + ((w + 1) & -(w + 1));
    if (parent <= words) tree_[parent] += tree_[w + 1];
  }
}

void SlotSet::loadWords(std::span<const uint64_t> words) {
  std::copy(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(bits_.size()),
            bits_.begin());
  if (size_ % 64 != 0 && !bits_.empty()) bits_.back() &= (uint64_t{1} << (size_ % 64)) - 1;
  finishBulk();
}

void SlotSet::resize(uint32_t size) {
  std::vector<uint64_t> old = std::move(bits_);
  const uint32_t old_size = size_;
  reset(size);
  const uint32_t keep_words = wordsFor(std::min(size, old_size));
  for (uint32_t w = 0; w < keep_words; ++w) bits_[w] = old[w];
  if (size % 64 != 0 && !bits_.empty()) bits_.back() &= (uint64_t{1} << (size % 64)) - 1;
  finishBulk();
}

void SlotSet::addToTree(uint32_t word, int32_t delta) {
  const auto words = static_cast<uint32_t>(bits_.size());
  for (uint32_t i = word + 1; i <= words; i += i & -i) tree_[i] += static_cast<uint32_t>(delta);
}

void SlotSet::setSummary(uint32_t word) {
  const uint64_t bit = uint64_t{1} << (word & 63);
  if (bits_[word] != 0) {
    summary_[word >> 6] |= bit;
  } else {
    summary_[word >> 6] &= ~bit;
  }
}

void SlotSet::insert(uint32_t slot) {
  if (slot >= size_ || contains(slot)) return;
  bits_[slot >> 6] |= uint64_t{1} << (slot & 63);
  ++count_;
  setSummary(slot >> 6);
  addToTree(slot >> 6, 1);
}

void SlotSet::erase(uint32_t slot) {
  if (!contains(slot)) return;
  bits_[slot >> 6] &= ~(uint64_t{1} << (slot & 63));
  --count_;
  setSummary(slot >> 6);
  addToTree(slot >> 6, -1);
}

uint32_t SlotSet::next(uint32_t slot) const {
  if (slot >= size_) return kNone;
  uint32_t w = slot >> 6;
  uint64_t word = bits_[w] & (~uint64_t{0} << (slot & 63));
  if (word != 0) return (w << 6) + static_cast<uint32_t>(std::countr_zero(word));
  // Find the next non-empty word through the summary.
  uint32_t s = (w + 1) >> 6;
  const uint32_t first_bit = (w + 1) & 63;
  if (s >= summary_.size()) return kNone;
  uint64_t sum = summary_[s] & (~uint64_t{0} << first_bit);
  while (sum == 0) {
    if (++s >= summary_.size()) return kNone;
    sum = summary_[s];
  }
  w = (s << 6) + static_cast<uint32_t>(std::countr_zero(sum));
  return (w << 6) + static_cast<uint32_t>(std::countr_zero(bits_[w]));
}

uint32_t SlotSet::previous(uint32_t slot) const {
  if (size_ == 0) return kNone;
  if (slot >= size_) slot = size_ - 1;
  uint32_t w = slot >> 6;
  const uint32_t bit = slot & 63;
  uint64_t word = bits_[w] & (bit == 63 ? ~uint64_t{0} : (uint64_t{2} << bit) - 1);
  if (word != 0) return (w << 6) + 63 - static_cast<uint32_t>(std::countl_zero(word));
  if (w == 0) return kNone;
  // Find the previous non-empty word through the summary.
  const uint32_t last = w - 1;
  uint32_t s = last >> 6;
  const uint32_t last_bit = last & 63;
  uint64_t sum = summary_[s] & (last_bit == 63 ? ~uint64_t{0} : (uint64_t{2} << last_bit) - 1);
  while (sum == 0) {
    if (s == 0) return kNone;
    sum = summary_[--s];
  }
  w = (s << 6) + 63 - static_cast<uint32_t>(std::countl_zero(sum));
  return (w << 6) + 63 - static_cast<uint32_t>(std::countl_zero(bits_[w]));
}

uint32_t SlotSet::select(uint32_t n) const {
  if (n == 0 || n > count_) return kNone;
  // Descend the Fenwick tree to the word that holds the n-th member.
  uint32_t pos = 0;
  uint32_t remaining = n;
  const auto words = static_cast<uint32_t>(bits_.size());
  for (uint32_t step = tree_top_; step != 0; step >>= 1) {
    const uint32_t probe = pos + step;
    if (probe <= words && tree_[probe] < remaining) {
      pos = probe;
      remaining -= tree_[probe];
    }
  }
  // pos words lie wholly before the member; it is the remaining-th member of word pos.
  return (pos << 6) + selectInWord(bits_[pos], remaining);
}

}  // namespace tunora::marlbase

// SlotSet: a set of slot numbers 0..size-1 with membership, rank-free selection of the n-th
// member and nearest-member searches in O(log n) or better.
//
// One bit per slot, a summary bit per 64-slot word that says whether the word has any member,
// and a Fenwick tree over the words' member counts for selection.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tunora::marlbase {

class SlotSet {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // Empties the set and makes room for slots 0..size-1.
  void reset(uint32_t size);
  // Changes the size, keeping the members below it.
  void resize(uint32_t size);
  uint32_t size() const { return size_; }
  uint32_t count() const { return count_; }

  bool contains(uint32_t slot) const {
    return slot < size_ && (bits_[slot >> 6] >> (slot & 63) & 1) != 0;
  }
  void insert(uint32_t slot);
  void erase(uint32_t slot);

  // For bulk loading: add members with rawInsert, then call finishBulk once.
  void rawInsert(uint32_t slot) { bits_[slot >> 6] |= uint64_t{1} << (slot & 63); }
  void finishBulk();
  // The set's words (bit s%64 of word s/64 for slot s), as the index cache stores them; the
  // number of words loadWords takes back for a set reset to the same size.
  std::span<const uint64_t> words() const { return bits_; }
  void loadWords(std::span<const uint64_t> words);

  // The lowest member at or above slot, or kNone.
  uint32_t next(uint32_t slot) const;
  // The highest member at or below slot (slots past the end count as the last slot), or kNone.
  uint32_t previous(uint32_t slot) const;
  // The n-th member counting from 1, or kNone when there are fewer than n.
  uint32_t select(uint32_t n) const;

 private:
  void addToTree(uint32_t word, int32_t delta);
  void setSummary(uint32_t word);

  uint32_t size_ = 0;
  uint32_t count_ = 0;
  std::vector<uint64_t> bits_;     // one bit per slot
  std::vector<uint64_t> summary_;  // one bit per word of bits_ that is not zero
  std::vector<uint32_t> tree_;     // Fenwick tree (1-based) over the words' member counts
  uint32_t tree_top_ = 0;          // the highest power of two not above the number of words
};

}  // namespace tunora::marlbase

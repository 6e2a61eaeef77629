// ColumnIndex: for one column of a table, which occupied slots hold each value, so that a
// whole-value lookup visits only the slots that may match instead of scanning the table.
//
// Values are reduced to 64-bit keys (columnKey below): an integer field's value, or a hash of a
// text with its ASCII letters folded, as the lookups compare them. Different texts may share a
// key, so a lookup still compares each candidate's field. The candidates of one key are kept in
// ascending slot order, so "the highest" and "the lowest from slot s" cost O(log k) to find.
//
// An index loaded from an image (the index cache's bytes, mapped from its file) is a view: it
// reads the image where it lies and keeps the changes made since in a small overlay, so that
// loading it costs one check of the image and a change costs what it changes. Operations on the
// whole index (resize, image) first turn it into an index of its own in memory (materialize).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tunora::marlbase {

// The key of a text (up to its NUL or `limit` bytes) with ASCII letters folded to lower case.
uint64_t textKey(const uint8_t* text, uint32_t limit);
// The key of an integer value.
inline uint64_t integerKey(uint32_t value) { return value; }

class ColumnIndex {
 public:
  // Empties the index for slots 0..capacity-1.
  void reset(uint32_t capacity);
  // Empties the index for slots 0..capacity-1 and adds the members (slot and key, ascending
  // slots), with the table sized for them at once.
  void assign(uint32_t capacity, std::span<const std::pair<uint32_t, uint64_t>> members);
  // Changes the slot range; members at or above the new capacity are dropped.
  void resize(uint32_t capacity);
  uint32_t capacity() const { return capacity_; }

  // Adds a slot under a key (a member is first removed from its old key).
  void insert(uint32_t slot, uint64_t key);
  // Removes a slot; nothing happens when it is not a member.
  void erase(uint32_t slot);
  bool contains(uint32_t slot) const {
    return slot < capacity() && (present_[slot >> 6] >> (slot & 63) & 1) != 0;
  }
  // The key a member was added under.
  uint64_t keyOf(uint32_t slot) const;
  uint32_t size() const { return members_; }

  // The members under a key, in ascending slot order. Valid until the next change or lookup.
  std::span<const uint32_t> slots(uint64_t key) const;

  // The index as the index cache stores it, so that loading it is a copy instead of one insert
  // per member: a head of kImageHeadWords counts, then the arrays as they are in memory (the
  // key of every slot, the hash table's entries) and the lists of keys held by several slots.
  static constexpr size_t kImageHeadWords = 6;
  struct Image {
    std::array<uint64_t, kImageHeadWords> head{};
    std::span<const uint64_t> keys;
    std::span<const uint8_t> table;
    std::vector<uint64_t> lists;
  };
  // Valid until the next change. Of an index in memory (not a view: see materialize).
  Image image() const;
  // Loads an image of `length` bytes, taken piece by piece from `read` (false when the bytes
  // cannot be had), for a table of `capacity` slots whose occupied slots are `occupied`. False,
  // leaving the index empty, when the image does not fit them or is not a well-formed index.
  bool loadImage(uint32_t capacity, std::span<const uint64_t> occupied, uint32_t occupied_count,
                 uint64_t length, const std::function<bool(void* into, size_t bytes)>& read);
  // The same over an image in place, which `keep` keeps alive: the index becomes a view of it.
  // `block_sums` holds the contentHash of each kViewBlock bytes of the image (the last block
  // shorter): a block is checked on the first read of it, and the entries and lists read are
  // checked as they are read, so that a load reads only the image's head and list lengths. A
  // lookup that finds a block or an entry that does not check out answers nothing and leaves
  // broken() set. Without block sums the image is checked whole at once.
  static constexpr size_t kViewBlock = 64 * 1024;
  bool loadView(uint32_t capacity, std::span<const uint64_t> occupied, uint32_t occupied_count,
                std::span<const uint8_t> image, std::span<const uint64_t> block_sums,
                std::shared_ptr<const void> keep);
  // A view's lookup or materialize read an image that does not check out: its answers are not
  // to be used (the index is to be built again).
  bool broken() const { return broken_; }
  bool isView() const { return view_ != nullptr; }
  // Turns a view into an index of its own in memory holding the same members (one insertion per
  // member). Nothing happens to an index already in memory, nor to a view found broken.
  void materialize();
  // Spreads a key over the table's positions (integer keys are small and dense).
  static uint64_t spread(uint64_t x);

 private:
  static constexpr size_t kInitialTableSize = 16;
  // An image in place: the key of every slot, the table's entries, the lists' slots.
  struct View {
    std::span<const uint8_t> image;
    size_t table_size = 0;
    size_t keys_at = 0, table_at = 0, lengths_at = 0, list_slots_at = 0;  // offsets in image
    std::vector<uint32_t> list_start;  // list i holds list slots list_start[i] .. [i + 1] - 1
    std::vector<uint64_t> block_sums;
    std::vector<bool> checked;  // per block: its sum was found right
    std::shared_ptr<const void> keep;
  };
  // One key's entry in the open-addressed table: a single slot held in place, or a list. The
  // key itself is not stored (it is the key_of_ of the entry's slot, or of its list's first
  // slot); its high half is, to pass over most other keys without reading key_of_.
  struct Entry {
    uint32_t tag = 0;
    uint32_t value = kEmptyValue;  // the slot, or kListBit | the index into lists_
  };
  static constexpr uint32_t kEmptyValue = UINT32_MAX;
  static constexpr uint32_t kListBit = 0x80000000u;
  static uint32_t tagOf(uint64_t key) { return static_cast<uint32_t>(key >> 32); }
  static bool isEmpty(const Entry& e) { return e.value == kEmptyValue; }
  static bool isList(const Entry& e) { return (e.value & kListBit) != 0 && !isEmpty(e); }
  uint64_t keyOfEntry(const Entry& e) const {
    return key_of_[isList(e) ? lists_[e.value & ~kListBit].front() : e.value];
  }

  size_t home(uint64_t key) const;
  size_t find(uint64_t key) const;  // the entry of key, or the empty entry where it would go
  void removeEntry(size_t at);
  void growTable();
  uint32_t newList();

  // Whether the image's bytes [offset, offset + size) check out; sets broken_ when not.
  bool viewBytesRight(size_t offset, size_t size) const;
  bool checkWholeView() const;
  Entry viewEntry(size_t at) const;
  uint64_t viewKey(uint32_t slot) const;
  uint32_t viewListSlot(size_t at) const;
  // The key of an entry's first slot, checking that the entry names a slot or a list in use.
  uint64_t viewKeyOfEntry(const Entry& e) const;
  // The view's members under a key (before the overlay), appended to out.
  void viewSlots(uint64_t key, std::vector<uint32_t>& out) const;
  void overlayInsert(uint32_t slot, uint64_t key);
  void overlayErase(uint32_t slot);

  uint32_t capacity_ = 0;
  std::vector<uint64_t> key_of_;   // per slot, valid for members
  std::vector<uint64_t> present_;  // one bit per slot
  uint32_t members_ = 0;
  std::vector<Entry> table_;  // size a power of two, at most 70 % in use; 8 bytes an entry
  size_t used_ = 0;
  std::vector<std::vector<uint32_t>> lists_;  // ascending slots of keys with several members
  std::vector<uint32_t> free_lists_;
  // A view's image and overlay: every slot changed since the load, the members among them with
  // their keys, and per key its overlay members in ascending order. In view mode key_of_, table_
  // and lists_ are unused.
  std::unique_ptr<View> view_;
  std::unordered_set<uint32_t> changed_;
  std::unordered_map<uint32_t, uint64_t> changed_key_;
  std::unordered_map<uint64_t, std::vector<uint32_t>> added_;
  mutable std::vector<uint32_t> found_;  // what slots() gave for a view
  mutable bool broken_ = false;
};

}  // namespace tunora::marlbase

// The sort image: a sort's records written beside the table ("<table>.sorting") in their new
// order before the table is touched, then copied into the table in long sequential writes. A
// sort killed while it rewrites the table is finished by the next opener from the image; one
// killed before the image is whole leaves the table as it was. The layout is in FORMAT.md ("The
// sort image").
//
// The table is read and written with read and write calls of megabytes, not through its mapping:
// a sort touches every page of the table, and a call that copies a megabyte costs far less than
// the thousands of page faults a first touch of each page through the mapping takes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tunora::marlbase {

// Where the records of an open table are: its descriptor and the record area's layout.
struct TableLayout {
  int fd = -1;
  uint64_t record_area = 0;  // the file offset of slot 0
  uint32_t record_size = 0;
  uint32_t capacity = 0;
};

// What a sort writes: slot first + k gets the whole slot (status word included) now in slot
// from[k]; the `copies` slots after those get status 5 and the fields of the slot `copy_of`.
struct SortPlan {
  uint32_t first = 0;
  std::vector<uint32_t> from;
  uint32_t copies = 0;
  uint32_t copy_of = 0;
};

inline std::string sortImagePathFor(const std::string& table_path) {
  return table_path + ".sorting";
}

// Reads the slots first .. last in order, in reads of megabytes, and calls `visit(slot, count,
// bytes)` with each read's first slot, its slot count and its bytes. False on a read error, a file
// that ends first, or a visit that returns false.
bool scanSlots(const TableLayout& table, uint32_t first, uint32_t last,
               const std::function<bool(uint32_t, uint32_t, const uint8_t*)>& visit);

// Writes a sort's image beside the table. The records come first, in slot order, as the sort
// reads the table for its keys, and wait at the end of the file; once the order is known, finish
// puts them into their groups, writes the tables, cuts off what waited and writes the header last,
// so that a kill before that leaves an image the next opener discards. Until finish succeeds a
// write that fails (for want of room, say) abandons the image, as does the destructor.
class SortImageWriter {
 public:
  SortImageWriter() = default;
  ~SortImageWriter();
  SortImageWriter(const SortImageWriter&) = delete;
  SortImageWriter& operator=(const SortImageWriter&) = delete;

  // Starts the image of `records` slots from `first` on, with `copies` copies after them. False
  // when it cannot be created.
  bool begin(const std::string& table_path, const TableLayout& table, uint32_t first,
             uint32_t records, uint32_t copies);
  // Keeps the bytes of a slot whose record the plan will name (slots in rising order). False
  // once the image was abandoned.
  bool keep(uint32_t slot, const uint8_t* bytes);
  // Writes the kept records where `plan` puts them. False (and no image) when the image cannot be
  // written whole. `crash_point` (may be empty) is called between the writes, each of one record
  // while it is set.
  bool finish(const SortPlan& plan, const std::function<void()>& crash_point);

 private:
  bool flushKept();
  bool writeGroups(const SortPlan& plan, const std::function<void()>& crash_point);
  void abandon();

  std::string path_;
  int fd_ = -1;
  TableLayout table_;
  uint32_t first_ = 0;
  uint32_t records_ = 0;
  uint32_t copies_ = 0;
  uint64_t stream_offset_ = 0;  // where the kept records wait
  uint64_t stream_length_ = 0;
  std::vector<uint8_t> staged_;  // kept records' codes not yet written
  std::vector<uint32_t> kept_slots_;
  std::vector<uint32_t> kept_lengths_;
};

enum class ImageApplied { kNone, kApplied, kFailed };

// Writes the slots of the image beside the table into the table, then removes the image.
// kNone: there was no whole image that fits this table (any such file is removed); kFailed: the
// table could not be written (the image is kept for the next open).
ImageApplied applySortImage(const std::string& table_path, const TableLayout& table,
                            const std::function<void()>& crash_point);

}  // namespace tunora::marlbase

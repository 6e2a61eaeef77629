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

// Writes the image of `plan` beside the table; its header last, so that a kill before that
// leaves an image the next opener discards. False (and no image) when it cannot be written whole,
// for want of space for instance. `crash_point` (may be empty) is called between the writes, each
// of one record while it is set.
bool writeSortImage(const std::string& table_path, const TableLayout& table, const SortPlan& plan,
                    const std::function<void()>& crash_point);

enum class ImageApplied { kNone, kApplied, kFailed };

// Writes the slots of the image beside the table into the table, then removes the image.
// kNone: there was no whole image that fits this table (any such file is removed); kFailed: the
// table could not be written (the image is kept for the next open).
ImageApplied applySortImage(const std::string& table_path, const TableLayout& table,
                            const std::function<void()>& crash_point);

}  // namespace tunora::marlbase
